#include "pages/textmatches.h"

namespace qly {

namespace {
bool isWordUnit(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c.isMark();
}

// Whether the match [start, end) stands as a word of its own.
bool isWholeWord(QStringView text, qsizetype start, qsizetype end) {
    if (start > 0 && isWordUnit(text[start - 1]) && isWordUnit(text[start]))
        return false;
    return !(end < text.size() && isWordUnit(text[end]) && isWordUnit(text[end - 1]));
}
} // namespace

QList<TextMatch> findMatches(QStringView text, const MatchRule& rule) {
    QList<TextMatch> matches;
    if (rule.text.isEmpty())
        return matches;
    const Qt::CaseSensitivity cs = rule.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const qsizetype length = rule.text.size();
    qsizetype from = 0;
    while (true) {
        const qsizetype at = text.indexOf(rule.text, from, cs);
        if (at < 0)
            break;
        if (rule.wholeWords && !isWholeWord(text, at, at + length)) {
            from = at + 1;
            continue;
        }
        matches.append({at, length});
        from = at + length;
    }
    return matches;
}

qsizetype nextMatchIndex(const QList<TextMatch>& matches, qsizetype selectionStart,
                         qsizetype selectionEnd, bool forward) {
    if (forward) {
        for (qsizetype i = 0; i < matches.size(); ++i)
            if (matches[i].start >= selectionEnd)
                return i;
        return -1;
    }
    for (qsizetype i = matches.size() - 1; i >= 0; --i)
        if (matches[i].start < selectionStart)
            return i;
    return -1;
}

int nextPageWithMatch(const std::array<bool, PageCount>& hasMatch, int current, bool forward) {
    for (int step = 1; step <= PageCount; ++step) {
        const int page = ((current + (forward ? step : -step)) % PageCount + PageCount) % PageCount;
        if (hasMatch[page])
            return page;
    }
    return -1;
}

} // namespace qly
