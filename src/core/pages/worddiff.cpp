#include "pages/worddiff.h"

#include <QHash>

#include <dtl/dtl.hpp>

#include <vector>

namespace qly {

namespace {
enum class TokenClass { Word, Blank, Other };

TokenClass classOf(QChar c) {
    if (c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
        return TokenClass::Other; // each line end on its own
    if (c.isSpace())
        return TokenClass::Blank;
    if (c.isLetterOrNumber() || c.isMark() || c == u'_' || c.isSurrogate())
        return TokenClass::Word;
    return TokenClass::Other;
}
} // namespace

QList<QStringView> wordTokens(QStringView text) {
    QList<QStringView> tokens;
    qsizetype start = 0;
    while (start < text.size()) {
        const TokenClass kind = classOf(text[start]);
        qsizetype end = start + 1;
        if (kind != TokenClass::Other)
            while (end < text.size() && classOf(text[end]) == kind)
                ++end;
        tokens.append(text.mid(start, end - start));
        start = end;
    }
    return tokens;
}

QList<WordChange> wordDiff(QStringView before, QStringView after) {
    QList<QStringView> a = wordTokens(before);
    QList<QStringView> b = wordTokens(after);
    // Beyond the cap the rest of each text is one token: different rests show as replaced.
    const auto cap = [](QList<QStringView>& tokens, QStringView text) {
        if (tokens.size() <= MaxDiffTokens)
            return;
        const qsizetype restStart = tokens[MaxDiffTokens - 1].data() - text.data();
        tokens.resize(MaxDiffTokens - 1);
        tokens.append(text.mid(restStart));
    };
    cap(a, before);
    cap(b, after);
    // The diff runs on numbers: one for each distinct token.
    QHash<QStringView, int> ids;
    const auto numbered = [&ids](const QList<QStringView>& tokens) {
        std::vector<int> n;
        n.reserve(size_t(tokens.size()));
        for (QStringView t : tokens) {
            auto id = ids.constFind(t);
            if (id == ids.cend())
                id = ids.insert(t, int(ids.size()));
            n.push_back(id.value());
        }
        return n;
    };
    const std::vector<int> na = numbered(a);
    const std::vector<int> nb = numbered(b);
    dtl::Diff<int> diff(na, nb);
    diff.enableHuge();
    diff.compose();

    QList<WordChange> changes;
    const auto append = [&changes](WordChange::Kind kind, QStringView text) {
        if (!changes.isEmpty() && changes.back().kind == kind)
            changes.back().text += text;
        else
            changes.append({kind, text.toString()});
    };
    // Removals and additions between two common tokens: all removals first.
    QList<QStringView> added;
    const auto flushAdded = [&] {
        for (QStringView t : std::as_const(added))
            append(WordChange::Kind::Added, t);
        added.clear();
    };
    qsizetype ia = 0;
    qsizetype ib = 0;
    for (const auto& step : diff.getSes().getSequence()) {
        switch (step.second.type) {
        case dtl::SES_COMMON:
            if (ia >= a.size())
                break;
            flushAdded();
            append(WordChange::Kind::Same, a[ia++]);
            ++ib;
            break;
        case dtl::SES_DELETE:
            if (ia < a.size())
                append(WordChange::Kind::Removed, a[ia++]);
            break;
        case dtl::SES_ADD:
            if (ib < b.size())
                added.append(b[ib++]);
            break;
        }
    }
    flushAdded();
    return changes;
}

} // namespace qly
