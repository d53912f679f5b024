#include "model/tablegrid.h"

#include <algorithm>

namespace qly {

namespace {

// A row's right edges, each past the one before.
std::vector<int> rightEdges(const TableRow& row) {
    std::vector<int> out;
    int before = row.left;
    for (const TableCell& c : row.cells) {
        before = std::max(c.right, before + 1);
        out.push_back(before);
    }
    return out;
}

} // namespace

TableGrid tableGrid(const std::vector<TableRow>& rows, size_t first, size_t count) {
    TableGrid grid;
    if (first >= rows.size())
        return grid;
    count = std::min(count, rows.size() - first);
    grid.left = rows[first].left;
    std::vector<std::vector<int>> rights(count);
    size_t widest = 0;
    for (size_t r = 0; r < count; ++r) {
        rights[r] = rightEdges(rows[first + r]);
        grid.edges.insert(grid.edges.end(), rights[r].begin(), rights[r].end());
        if (rights[r].size() > rights[widest].size())
            widest = r;
    }
    std::sort(grid.edges.begin(), grid.edges.end());
    grid.edges.erase(std::unique(grid.edges.begin(), grid.edges.end()), grid.edges.end());
    // Rows that each end their cells elsewhere would make a column of every edge: such a
    // table is laid out on its widest row's columns, the other cells on the nearest ones.
    const bool nearest = grid.edges.size() > size_t(MaxGridColumns);
    if (nearest)
        grid.edges = rights[widest];
    const int columns = int(grid.edges.size());
    auto columnOf = [&](int edge) {
        const auto at = std::lower_bound(grid.edges.begin(), grid.edges.end(), edge);
        int column = int(at - grid.edges.begin());
        if (nearest &&
            (at == grid.edges.end() || (at != grid.edges.begin() && edge - *(at - 1) < *at - edge)))
            --column;
        return std::max(column, 0);
    };
    // The cell at the top of each column's vertical merge in the row above, if any, and the
    // columns that hold one: rows are walked without touching every column each time.
    std::vector<GridCell*> above(size_t(columns), nullptr);
    std::vector<int> aboveEnd(size_t(columns), -1); // the last column of that cell's merge
    std::vector<int> aboveSet;
    struct Open {
        int column;
        GridCell* cell;
        int end;
    };
    std::vector<Open> here;
    grid.cells.resize(count);
    for (size_t r = 0; r < count; ++r) {
        const TableRow& row = rows[first + r];
        std::vector<GridCell>& out = grid.cells[r];
        out.resize(row.cells.size());
        here.clear();
        int column = 0;
        GridCell* open = nullptr; // the cell a horizontal merge widens
        for (size_t c = 0; c < row.cells.size(); ++c) {
            const TableCell& cell = row.cells[c];
            GridCell& g = out[c];
            // Each cell keeps a column of its own, leaving one for every cell after it.
            const int after = int(row.cells.size() - c - 1);
            const int room = std::max(column, columns - 1 - after);
            const int end =
                after == 0 ? columns - 1 : std::clamp(columnOf(rights[r][c]), column, room);
            g.column = std::min(column, columns - 1);
            g.columnSpan = std::max(end - g.column + 1, 1);
            if (cell.merge == CellMerge::Continue && open) {
                g.covered = true;
                open->columnSpan = end - open->column + 1;
            } else {
                open = &g;
            }
            column = std::min(end + 1, columns - 1);
        }
        // Vertical merges, once the row's horizontal ones are known.
        for (size_t c = 0; c < row.cells.size(); ++c) {
            GridCell& g = out[c];
            if (g.covered)
                continue;
            const int end = g.column + g.columnSpan - 1;
            GridCell* top = above[size_t(g.column)];
            if (row.cells[c].vmerge == CellMerge::Continue && top &&
                aboveEnd[size_t(g.column)] == end) {
                g.covered = true;
                ++top->rowSpan;
                here.push_back({g.column, top, end});
            } else if (row.cells[c].vmerge == CellMerge::First) {
                here.push_back({g.column, &g, end});
            }
        }
        for (int col : aboveSet) {
            above[size_t(col)] = nullptr;
            aboveEnd[size_t(col)] = -1;
        }
        aboveSet.clear();
        for (const Open& o : here) {
            above[size_t(o.column)] = o.cell;
            aboveEnd[size_t(o.column)] = o.end;
            aboveSet.push_back(o.column);
        }
    }
    return grid;
}

namespace {
constexpr int kPackVersion = 1;
int packColor(const std::optional<std::uint32_t>& c) {
    return c ? int(*c & 0xFFFFFF) : -1;
}
std::optional<std::uint32_t> unpackColor(int v) {
    if (v < 0)
        return std::nullopt;
    return std::uint32_t(v & 0xFFFFFF);
}
} // namespace

QList<int> packRows(const std::vector<TableRow>& rows, size_t first, size_t count) {
    QList<int> out{kPackVersion};
    for (size_t r = first; r < rows.size() && r < first + count; ++r) {
        const TableRow& row = rows[r];
        out << row.left << row.gap << int(row.align) << int(row.cells.size());
        for (const TableCell& c : row.cells) {
            out << c.right << int(c.merge) << int(c.vmerge);
            for (const Border& b : c.borders)
                out << b.width << packColor(b.color);
            out << packColor(c.shading);
        }
    }
    return out;
}

std::vector<TableRow> unpackRows(const QList<int>& packed) {
    std::vector<TableRow> rows;
    if (packed.isEmpty() || packed.front() != kPackVersion)
        return {};
    qsizetype i = 1;
    const qsizetype n = packed.size();
    while (i < n) {
        if (n - i < 4)
            return {};
        TableRow row;
        row.left = packed[i++];
        row.gap = packed[i++];
        row.align = Alignment(packed[i++]);
        const int cells = packed[i++];
        if (cells < 0 || cells > kMaxTableCells || n - i < qsizetype(cells) * 12)
            return {};
        for (int c = 0; c < cells; ++c) {
            TableCell cell;
            cell.right = packed[i++];
            cell.merge = CellMerge(packed[i++]);
            cell.vmerge = CellMerge(packed[i++]);
            for (Border& b : cell.borders) {
                b.width = packed[i++];
                b.color = unpackColor(packed[i++]);
            }
            cell.shading = unpackColor(packed[i++]);
            row.cells.push_back(cell);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace qly
