#pragma once

#include "model/document.h"

class QFont;
class QString;
class QTextDocument;

namespace qly {

// The character set (RTF \fcharset) of a run, kept on the editor's QTextCharFormat under
// this user property so that a page keeps it through the editor.
inline constexpr int kCharsetProperty = 0x100000 /* QTextFormat::UserProperty */ + 0x351;
// A paragraph that stays on the page of the next one (Qt has no such block property).
inline constexpr int kKeepWithNextProperty = 0x100000 + 0x352;
// A list item's own indents in twips (left, first line): the list's indent is what shows.
inline constexpr int kListIndentProperty = 0x100000 + 0x353;
// On a QTextListFormat: the page's list it belongs to (1-based) and the list's whole
// definition, all levels, so that a list keeps what Qt does not show (start numbers,
// the levels not in use).
inline constexpr int kListIdProperty = 0x100000 + 0x354;
inline constexpr int kListDefinitionProperty = 0x100000 + 0x355;

// The editor's default font: the desktop's sans-serif at 10 points, under the desktop's name
// for it (often an alias such as "Sans Serif"): finding the family it stands for means loading
// the font, which start-up leaves to the layout of the page.
QFont editorDefaultFont();

// The family a font resolves to, for example "DejaVu Sans" for "Sans Serif": what saved pages
// and the Font window name, so that pages name a font other programs know and bold is
// offered. Found once for each font and kept.
QString realFamily(const QFont& font);

// Fills the editor's document from a page, replacing what it held (and its undo history).
// Automatic colours set no brush; alignment codes 0 left, 1 right, 2 centre, 3 justify;
// indents, spacing and tab stops in pixels at 96 per inch (15 twips a pixel).
void setEditorDocument(QTextDocument* target, const Document& doc);

// The editor's content as a page. Text without a font family or size of its own gets the
// document's default font's, so that a page always names its fonts.
Document editorDocument(const QTextDocument* source);

} // namespace qly
