#include "spelling/wordsplitter.h"

namespace qly {

namespace {
bool isLetter(QChar c) {
    return c.isLetter() || c.isMark();
}

bool isApostrophe(QChar c) {
    return c == QLatin1Char('\'') || c == QChar(0x2019);
}

bool isSpace(QChar c) {
    // The object replacement character stands for a picture: a gap between words.
    return c.isSpace() || c == QChar::ObjectReplacementCharacter || c == QChar::Nbsp;
}

// Whether a run of text between spaces is a link or an address, read as a whole.
bool isAddress(QStringView run) {
    if (run.contains(u"://") || run.startsWith(u"www.", Qt::CaseInsensitive) ||
        run.startsWith(u"mailto:", Qt::CaseInsensitive))
        return true;
    const qsizetype at = run.indexOf(QLatin1Char('@'));
    return at > 0 && run.indexOf(QLatin1Char('.'), at) > at + 1;
}

bool allCapitals(QStringView word) {
    int letters = 0;
    for (QChar c : word) {
        if (!c.isLetter())
            continue;
        if (!c.isUpper())
            return false;
        ++letters;
    }
    return letters > 1;
}

// The words of one run between spaces, with the run's offset added.
void splitRun(QStringView text, qsizetype from, qsizetype to, const SplitOptions& options,
              std::vector<WordSpan>& out) {
    qsizetype i = from;
    while (i < to) {
        if (!text[i].isLetterOrNumber()) {
            ++i;
            continue;
        }
        const qsizetype start = i;
        bool digits = false;
        while (i < to) {
            const QChar c = text[i];
            if (isLetter(c)) {
                ++i;
            } else if (c.isNumber()) {
                digits = true;
                ++i;
            } else if (isWordJoiner(c) && i + 1 < to && text[i + 1].isLetterOrNumber() &&
                       i > start) {
                ++i;
            } else {
                break;
            }
        }
        const QStringView word = text.sliced(start, i - start);
        if (!digits && !(options.skipCapitals && allCapitals(word)))
            out.push_back({int(start), int(i - start)});
    }
}
} // namespace

bool isWordJoiner(QChar c) {
    return isApostrophe(c) || c == QLatin1Char('-') || c == QChar(0x2010);
}

std::vector<WordSpan> splitWords(QStringView text, const SplitOptions& options) {
    std::vector<WordSpan> words;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        while (i < n && isSpace(text[i]))
            ++i;
        const qsizetype start = i;
        while (i < n && !isSpace(text[i]))
            ++i;
        if (i > start && !isAddress(text.sliced(start, i - start)))
            splitRun(text, start, i, options, words);
    }
    return words;
}

WordSpan wordAt(QStringView text, int position, const SplitOptions& options) {
    // Only the run between spaces around the position needs reading.
    qsizetype from = std::min<qsizetype>(position, text.size());
    while (from > 0 && !isSpace(text[from - 1]))
        --from;
    qsizetype to = std::min<qsizetype>(position, text.size());
    while (to < text.size() && !isSpace(text[to]))
        ++to;
    for (const WordSpan& w : splitWords(text.sliced(from, to - from), options)) {
        const int start = int(from) + w.start;
        if (start <= position && position <= start + w.length)
            return {start, w.length};
    }
    return {};
}

} // namespace qly
