#pragma once

#include <QList>
#include <QString>
#include <QStringView>

namespace qly {

// A text cut into words, runs of blanks and single other characters (punctuation, line ends),
// in order: joined again they are the text.
QList<QStringView> wordTokens(QStringView text);

// A piece of the comparison of two texts, word by word.
struct WordChange {
    enum class Kind { Same, Removed, Added };
    Kind kind = Kind::Same;
    QString text;
    bool operator==(const WordChange&) const = default;
};

// How `after` differs from `before`, word by word: the pieces of both in reading order, with
// what only `before` holds as Removed and what only `after` holds as Added (a removal before
// the addition that takes its place). Neighbouring pieces of one kind are joined. Texts of
// more than MaxDiffTokens tokens are compared as far as that many.
inline constexpr qsizetype MaxDiffTokens = 200'000;
QList<WordChange> wordDiff(QStringView before, QStringView after);

} // namespace qly
