// The table grid: columns from the rows' cell edges, and tables whose rows each end their
// cells elsewhere laid out on a bounded number of columns.
#include "model/tablegrid.h"

#include <gtest/gtest.h>

using namespace qly;

namespace {
TableRow row(std::initializer_list<int> rights) {
    TableRow r;
    for (int right : rights) {
        TableCell c;
        c.right = right;
        r.cells.push_back(c);
    }
    return r;
}
} // namespace

TEST(TableGridTest, ColumnsAreTheDistinctEdgesWhileThereAreFew) {
    const std::vector<TableRow> rows = {row({1000, 3000}), row({2000, 3000})};
    const TableGrid g = tableGrid(rows, 0, rows.size());
    EXPECT_EQ(g.edges, std::vector<int>({1000, 2000, 3000}));
    EXPECT_EQ(g.cells[0][0].columnSpan, 1);
    EXPECT_EQ(g.cells[0][1].column, 1);
    EXPECT_EQ(g.cells[0][1].columnSpan, 2);
    EXPECT_EQ(g.cells[1][0].columnSpan, 2);
}

TEST(TableGridTest, RowsWithEdgesOfTheirOwnTakeTheWidestRowsColumns) {
    // Every row ends its first cell elsewhere: 3,000 distinct edges.
    std::vector<TableRow> rows;
    for (int r = 0; r < 3000; ++r)
        rows.push_back(row({100 + r, 120000}));
    rows.push_back(row({500, 1000, 2000, 120000}));
    const TableGrid g = tableGrid(rows, 0, rows.size());
    EXPECT_EQ(g.edges, std::vector<int>({500, 1000, 2000, 120000}));
    for (size_t r = 0; r < rows.size(); ++r) {
        // Each cell on a column of its own, the last reaching the last column.
        const std::vector<GridCell>& cells = g.cells[r];
        for (size_t c = 0; c + 1 < cells.size(); ++c)
            EXPECT_LT(cells[c].column + cells[c].columnSpan - 1, cells[c + 1].column);
        EXPECT_EQ(cells.back().column + cells.back().columnSpan, 4);
    }
    // The nearest column: 1300 ends on 1000, 1700 on 2000.
    rows = {row({500, 1000, 2000, 120000}), row({1300, 120000}), row({1700, 120000})};
    for (int e = 0; e < MaxGridColumns; ++e)
        rows.push_back(row({3000 + e, 120000}));
    const TableGrid n = tableGrid(rows, 0, rows.size());
    EXPECT_EQ(n.cells[1][0].columnSpan, 2);
    EXPECT_EQ(n.cells[2][0].columnSpan, 3);
}

// A part of a table laid out on the whole table's columns: its cells where the whole grid has
// them.
TEST(TableGridTest, PartsOnTheWholeTablesColumnsMatchTheWhole) {
    std::vector<TableRow> rows;
    for (int r = 0; r < 200; ++r)
        rows.push_back(row({100 + r, 2000 + (r % 3) * 500, 120000}));
    const TableGrid whole = tableGrid(rows, 0, rows.size());
    const TableGrid part = tableGrid(rows, 120, 30, whole.left, whole.edges);
    EXPECT_EQ(part.edges, whole.edges);
    ASSERT_EQ(part.cells.size(), 30u);
    for (size_t r = 0; r < part.cells.size(); ++r)
        for (size_t c = 0; c < 3; ++c) {
            EXPECT_EQ(part.cells[r][c].column, whole.cells[120 + r][c].column);
            EXPECT_EQ(part.cells[r][c].columnSpan, whole.cells[120 + r][c].columnSpan);
        }
}
