#pragma once

#include <QStringView>

#include <vector>

namespace qly {

// A word of a block's text, by its offset and length in UTF-16 units.
struct WordSpan {
    int start = 0;
    int length = 0;
    int end() const { return start + length; }
    bool operator==(const WordSpan&) const = default;
};

struct SplitOptions {
    // Words written all in capitals (acronyms, shouted headings) are left alone.
    bool skipCapitals = false;
};

// The words of text worth asking a dictionary about, in order. A word is a run of letters
// (with their combining marks) that may hold an apostrophe or a hyphen between two letters
// ("don't", "l'homme", "well-known"): the dictionary decides what it makes of them. Left out:
// whatever stands in a URL or an e-mail address, numbers and words with digits in them, and
// with skipCapitals words in capitals.
std::vector<WordSpan> splitWords(QStringView text, const SplitOptions& options = {});

// The word of text that holds position or ends at it; an empty span when there is none.
WordSpan wordAt(QStringView text, int position, const SplitOptions& options = {});

// Whether c joins two letters into one word.
bool isWordJoiner(QChar c);

} // namespace qly
