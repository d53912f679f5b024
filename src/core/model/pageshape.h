#pragma once

#include "model/document.h"

namespace qly {

// Joins neighbouring runs of each paragraph that look the same: plain text runs in the same
// format become one run. Text, formats and anything else a run carries stay as they were.
void mergeAlikeRuns(Document& doc);

// True when the paragraphs differ in nothing but their text: the first holds one run of plain
// text, every other at most one, all in that run's format (a pasted log, a plain-text file).
// Such a page can go into the editor as one text, the paragraphs split where it breaks.
bool hasUniformParagraphs(const Document& doc);

// Whether the editor had better break this page's lines anywhere than at word boundaries.
// A stretch of text without a place to break a line is broken anywhere in either mode, but
// word-boundary breaking walks the rest of the stretch again for each of its lines: the cost
// grows with the square of the stretch's length and with its format changes. True when that
// cost would freeze the editor noticeably (a pasted base64 block, thousands of alternating
// formats without a space); ordinary text, however long, never comes near it.
bool wantsWrapAnywhere(const Document& doc);

} // namespace qly
