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

// The column a cell ending at `edge` ends on: the edge itself, or with `nearest` the column
// nearest to it.
int columnOf(const std::vector<int>& edges, bool nearest, int edge) {
    const auto at = std::lower_bound(edges.begin(), edges.end(), edge);
    int column = int(at - edges.begin());
    if (nearest && (at == edges.end() || (at != edges.begin() && edge - *(at - 1) < *at - edge)))
        --column;
    return std::max(column, 0);
}

// A row's cells on the columns, merged cells widening the one before them.
void placeRow(const TableRow& row, const std::vector<int>& rights, const TableGrid& grid,
              bool nearest, std::vector<GridCell>& out) {
    const int columns = int(grid.edges.size());
    out.resize(row.cells.size());
    int column = 0;
    GridCell* open = nullptr; // the cell a horizontal merge widens
    for (size_t c = 0; c < row.cells.size(); ++c) {
        GridCell& g = out[c];
        // Each cell keeps a column of its own, leaving one for every cell after it.
        const int after = int(row.cells.size() - c - 1);
        const int room = std::max(column, columns - 1 - after);
        const int end = after == 0
                            ? columns - 1
                            : std::clamp(columnOf(grid.edges, nearest, rights[c]), column, room);
        g.column = std::min(column, columns - 1);
        g.columnSpan = std::max(end - g.column + 1, 1);
        if (row.cells[c].merge == CellMerge::Continue && open) {
            g.covered = true;
            open->columnSpan = end - open->column + 1;
        } else {
            open = &g;
        }
        column = std::min(end + 1, columns - 1);
    }
}

// Vertical merges, row by row once each row's horizontal ones are known: the cell at the top
// of each column's merge in the row above, kept for the columns that hold one only, so that
// rows are walked without touching every column each time.
class VerticalMerges {
public:
    explicit VerticalMerges(int columns)
        : m_above(size_t(columns), nullptr), m_aboveEnd(size_t(columns), -1) {}

    void apply(const TableRow& row, std::vector<GridCell>& out) {
        m_here.clear();
        for (size_t c = 0; c < row.cells.size(); ++c) {
            GridCell& g = out[c];
            if (g.covered)
                continue;
            const int end = g.column + g.columnSpan - 1;
            GridCell* top = m_above[size_t(g.column)];
            if (row.cells[c].vmerge == CellMerge::Continue && top &&
                m_aboveEnd[size_t(g.column)] == end) {
                g.covered = true;
                ++top->rowSpan;
                m_here.push_back({g.column, top, end});
            } else if (row.cells[c].vmerge == CellMerge::First) {
                m_here.push_back({g.column, &g, end});
            }
        }
        for (int col : m_aboveSet) {
            m_above[size_t(col)] = nullptr;
            m_aboveEnd[size_t(col)] = -1;
        }
        m_aboveSet.clear();
        for (const Open& o : m_here) {
            m_above[size_t(o.column)] = o.cell;
            m_aboveEnd[size_t(o.column)] = o.end;
            m_aboveSet.push_back(o.column);
        }
    }

private:
    struct Open {
        int column;
        GridCell* cell;
        int end; // the last column of the merge
    };
    std::vector<GridCell*> m_above;
    std::vector<int> m_aboveEnd;
    std::vector<int> m_aboveSet;
    std::vector<Open> m_here;
};

TableGrid placeCells(const std::vector<TableRow>& rows, size_t first,
                     const std::vector<std::vector<int>>& rights, TableGrid grid, bool nearest) {
    VerticalMerges merges(int(grid.edges.size()));
    grid.cells.resize(rights.size());
    for (size_t r = 0; r < rights.size(); ++r) {
        placeRow(rows[first + r], rights[r], grid, nearest, grid.cells[r]);
        merges.apply(rows[first + r], grid.cells[r]);
    }
    return grid;
}

std::vector<std::vector<int>> rowsRightEdges(const std::vector<TableRow>& rows, size_t first,
                                             size_t count) {
    std::vector<std::vector<int>> rights(count);
    for (size_t r = 0; r < count; ++r)
        rights[r] = rightEdges(rows[first + r]);
    return rights;
}

} // namespace

TableGrid tableGrid(const std::vector<TableRow>& rows, size_t first, size_t count) {
    TableGrid grid;
    if (first >= rows.size())
        return grid;
    count = std::min(count, rows.size() - first);
    grid.left = rows[first].left;
    const std::vector<std::vector<int>> rights = rowsRightEdges(rows, first, count);
    size_t widest = 0;
    for (size_t r = 0; r < count; ++r) {
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
    return placeCells(rows, first, rights, std::move(grid), nearest);
}

TableGrid tableGrid(const std::vector<TableRow>& rows, size_t first, size_t count, int left,
                    std::vector<int> edges) {
    TableGrid grid;
    if (first >= rows.size() || edges.empty())
        return grid;
    count = std::min(count, rows.size() - first);
    grid.left = left;
    grid.edges = std::move(edges);
    std::sort(grid.edges.begin(), grid.edges.end());
    grid.edges.erase(std::unique(grid.edges.begin(), grid.edges.end()), grid.edges.end());
    return placeCells(rows, first, rowsRightEdges(rows, first, count), std::move(grid), true);
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
