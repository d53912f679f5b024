#pragma once
// A table of the page as a grid: its rows' cells placed on columns, for an editor that lays
// tables out as grids (every row the same columns, merged cells spanning them).

#include "model/document.h"

#include <QList>

#include <vector>

namespace qly {

// Where one cell of a row goes on the grid.
struct GridCell {
    int column = 0;
    int rowSpan = 1;
    int columnSpan = 1;
    bool covered = false; // merged into a cell before it or above it: no place of its own
};

struct TableGrid {
    int left = 0;           // the first row's left edge, twips
    std::vector<int> edges; // the columns' right edges, ascending, twips
    // Per row of the table, per cell of that row.
    std::vector<std::vector<GridCell>> cells;
};

// More distinct cell edges than this and a table is laid out on its widest row's columns.
constexpr int MaxGridColumns = 63;

// The grid of the rows first .. first + count - 1 of the document, in time linear in the
// cells (and the edges' sorting). Every cell's right edge is a column edge; a row's last cell
// reaches the last column; a cell merged with the one before it (or above it, over the same
// columns) widens (or heightens) that one. With more distinct edges than MaxGridColumns, the
// columns are the widest row's and every other cell ends on the column nearest its edge,
// each cell still on a column of its own; the rows themselves keep their own edges.
TableGrid tableGrid(const std::vector<TableRow>& rows, size_t first, size_t count);
// The same rows on columns given (a grid's left edge and right edges), each cell ending on
// the column nearest its edge: the parts of a long table laid out on the whole table's columns.
TableGrid tableGrid(const std::vector<TableRow>& rows, size_t first, size_t count, int left,
                    std::vector<int> edges);

// Table rows as a list of numbers and back, for keeping them on an editor's table. Unpacking
// gives nothing for a list that is not such a packing.
QList<int> packRows(const std::vector<TableRow>& rows, size_t first, size_t count);
std::vector<TableRow> unpackRows(const QList<int>& packed);

} // namespace qly
