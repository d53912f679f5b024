#pragma once

#include "model/pageletters.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <array>

namespace qly {

// What Find next and Replace look for in a page's text.
struct MatchRule {
    QString text;
    bool caseSensitive = false;
    bool wholeWords = false; // the match neither starts nor ends inside a word

    bool isEmpty() const { return text.isEmpty(); }
};

struct TextMatch {
    qsizetype start = 0;
    qsizetype length = 0;
    qsizetype end() const { return start + length; }
    bool operator==(const TextMatch&) const = default;
};

// Every match of the rule in `text`, from the start, none overlapping the one before. Positions
// are those of `text`, so that the editor's raw text gives its own cursor positions.
QList<TextMatch> findMatches(QStringView text, const MatchRule& rule);

// The match that Find next goes to from a selection [selectionStart, selectionEnd): forward,
// the first starting at or after its end; backward, the last starting before its start. -1
// when there is none on this side.
qsizetype nextMatchIndex(const QList<TextMatch>& matches, qsizetype selectionStart,
                         qsizetype selectionEnd, bool forward);

// The page that Find next goes to when the page `current` holds no further match: the next
// (or previous) page in letter order, wrapping from Z to A, that holds a match; the current
// page itself last, from its other end. -1 when no page holds a match.
int nextPageWithMatch(const std::array<bool, PageCount>& hasMatch, int current, bool forward);

} // namespace qly
