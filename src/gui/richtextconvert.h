#pragma once

#include "document.h"

class QTextDocument;

namespace qly {

// The character set (RTF \fcharset) of a run, kept on the editor's QTextCharFormat under
// this user property so that a page keeps it through the editor.
inline constexpr int kCharsetProperty = 0x100000 /* QTextFormat::UserProperty */ + 0x351;

// Fills the editor's document from a page, replacing what it held (and its undo history).
// Automatic colours set no brush; alignment codes 0 left, 1 right, 2 centre, 3 justify.
void setEditorDocument(QTextDocument* target, const Document& doc);

// The editor's content as a page. Text without a font family or size of its own gets the
// document's default font's, so that a page always names its fonts.
Document editorDocument(const QTextDocument* source);

} // namespace qly
