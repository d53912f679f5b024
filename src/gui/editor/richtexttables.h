#pragma once
// Tables of a page as QTextTables in the editor, and back.

#include "model/document.h"

#include <QTextCursor>

#include <functional>

class QTextBlock;
class QTextTable;

namespace qly {

// On a QTextTableFormat: the page's rows of the table, packed (tablegrid.h), so that the
// table is written back with the rows, cells and merges it was read with.
inline constexpr int kTableRowsProperty = 0x100000 /* QTextFormat::UserProperty */ + 0x356;
// On a block that the editor keeps beside a table and the page does not hold (before a table
// at the start of a page, after one at its end): dropped while it stays empty.
inline constexpr int kTableGapProperty = 0x100000 + 0x357;
// On a QTextTableFormat: the columns the table is laid out on (the left edge, then the right
// edges, in twips): the parts of a long table are each a table of their own on the whole
// table's columns.
inline constexpr int kTableColumnsProperty = 0x100000 + 0x358;

// The index after the last paragraph of the table that starts at paragraph `first`; `first`
// when that paragraph is in no table.
size_t tableEnd(const Document& doc, size_t first);

// Fills paragraphs [from, to) of the page in at `at`, the end of a cell; `fresh` when the cell
// holds nothing yet (its one block takes the first paragraph).
using CellFill = std::function<void(const QTextCursor& at, size_t from, size_t to, bool fresh)>;

// Inserts the table of paragraphs [first, end) at the cursor and fills its cells through
// `fill`; the cursor ends in the block after the table. A long table goes in as parts, tables
// one after the other with an empty block between them that takes no room. `spareBlock`: the
// cursor's block is no paragraph of the page (the start of a page).
void insertTable(QTextCursor& cursor, const Document& doc, size_t first, size_t end,
                 bool spareBlock, const CellFill& fill);

// Whether the block is one the editor keeps beside a table that the page does not hold.
bool isTableGap(const QTextBlock& block);

// Whether the block is the empty one between two parts of a long table, where the caret
// does not stop: the parts are one table to the user.
bool isTablePartJoin(const QTextBlock& block);

// The outermost table that holds the block, or null.
QTextTable* outermostTable(const QTextBlock& block);

// Appends the table's rows and its cells' paragraphs (each made by `paragraphOf`) to the page.
void appendTable(const QTextTable* table, Document& doc,
                 const std::function<Paragraph(const QTextBlock&)>& paragraphOf);

} // namespace qly
