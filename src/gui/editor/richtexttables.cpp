// A page's table in the editor: a QTextTable on the grid of its rows' cell edges, merged
// cells spanning columns and rows, widths, borders and shading shown. The rows it was read
// with stay on the table's format, so that it is written back cell for cell; a table made
// in the editor (pasted) is written from its grid.
#include "editor/richtexttables.h"

#include "model/alignment.h"
#include "model/tablegrid.h"

#include <QBrush>
#include <QColor>
#include <QTextBlock>
#include <QTextFrame>
#include <QTextTable>

#include <algorithm>
#include <cmath>

namespace qly {
namespace {

constexpr double kTwipsPerPixel = 15.0; // as the rest of the editor: 96 pixels an inch
constexpr int kPastedTableWidth = 9360; // twips: a table without widths fills 6.5 inches
constexpr double kMinPadding = 3;       // pixels
constexpr int kFitWidth = 5760;         // twips: wider tables fill the editor's width

double px(int twips) {
    return twips / kTwipsPerPixel;
}
int twips(double pixels) {
    return int(std::lround(pixels * kTwipsPerPixel));
}

bool inTable(const Document& doc, const Paragraph& p) {
    if (p.row <= 0 || size_t(p.row) > doc.rows.size())
        return false;
    return p.cell >= 0 && size_t(p.cell) < doc.rows[size_t(p.row) - 1].cells.size();
}

bool isEmpty(const Paragraph& p) {
    return std::all_of(p.runs.begin(), p.runs.end(),
                       [](const TextRun& r) { return r.text.isEmpty(); });
}

void setBorder(QTextTableCellFormat& f, int side, const Border& b) {
    const double width = b.width > 0 ? std::max(px(b.width), 1.0) : 0.0;
    const QBrush brush(b.color ? QColor(QRgb(*b.color)) : QColor(Qt::black));
    const auto style =
        b.width > 0 ? QTextFrameFormat::BorderStyle_Solid : QTextFrameFormat::BorderStyle_None;
    switch (side) {
    case BorderTop:
        f.setTopBorder(width), f.setTopBorderBrush(brush), f.setTopBorderStyle(style);
        break;
    case BorderLeft:
        f.setLeftBorder(width), f.setLeftBorderBrush(brush), f.setLeftBorderStyle(style);
        break;
    case BorderBottom:
        f.setBottomBorder(width), f.setBottomBorderBrush(brush), f.setBottomBorderStyle(style);
        break;
    default:
        f.setRightBorder(width), f.setRightBorderBrush(brush), f.setRightBorderStyle(style);
        break;
    }
}

// A border the editor shows on a cell of a table made in the editor.
Border borderOf(const QTextTableCellFormat& f, int side, double tableBorder) {
    static const int widthProperty[4] = {
        QTextFormat::TableCellTopBorder, QTextFormat::TableCellLeftBorder,
        QTextFormat::TableCellBottomBorder, QTextFormat::TableCellRightBorder};
    static const int brushProperty[4] = {
        QTextFormat::TableCellTopBorderBrush, QTextFormat::TableCellLeftBorderBrush,
        QTextFormat::TableCellBottomBorderBrush, QTextFormat::TableCellRightBorderBrush};
    const double width =
        f.hasProperty(widthProperty[side]) ? f.doubleProperty(widthProperty[side]) : tableBorder;
    Border b;
    if (width <= 0)
        return b;
    b.width = std::clamp(twips(width), 1, 255);
    const QBrush brush = f.brushProperty(brushProperty[side]);
    if (brush.style() != Qt::NoBrush)
        b.color = std::uint32_t(brush.color().rgb() & 0xFFFFFF);
    return b;
}

// The blocks of a cell, in order (those of a table inside it among them).
template <typename F> void forEachBlock(const QTextTableCell& cell, F&& f) {
    const int end = cell.lastCursorPosition().position();
    for (QTextBlock b = cell.firstCursorPosition().block(); b.isValid() && b.position() <= end;
         b = b.next())
        f(b);
}

// Whether the table still has the grid of the rows it was read with.
bool hasGrid(const QTextTable* table, const TableGrid& grid) {
    if (table->rows() != int(grid.cells.size()) || table->columns() != int(grid.edges.size()))
        return false;
    for (size_t r = 0; r < grid.cells.size(); ++r)
        for (const GridCell& g : grid.cells[r]) {
            if (g.covered)
                continue;
            const QTextTableCell c = table->cellAt(int(r), g.column);
            if (c.row() != int(r) || c.column() != g.column || c.rowSpan() != g.rowSpan ||
                c.columnSpan() != g.columnSpan)
                return false;
        }
    return true;
}

// A long table goes into the editor in parts of a few hundred cells, each a QTextTable of its
// own on the same columns, with nothing between them that shows. Qt lays a table out whole: one
// of thousands of rows would hold the window up for seconds before it first shows, where parts
// let the editor lay out the first screen at once and the rest a step at a time.
constexpr size_t kPartCells = 400;

// The end (exclusive) of the part whose first row is `from`: past kPartCells cells, at the
// first row that no merged cell reaches beyond.
int partEnd(const TableGrid& grid, int from) {
    const int rows = int(grid.cells.size());
    size_t cells = 0;
    int reach = from; // the last row a merged cell of the part reaches
    for (int r = from; r < rows; ++r) {
        for (const GridCell& g : grid.cells[size_t(r)])
            reach = std::max(reach, r + g.rowSpan - 1);
        cells += grid.cells[size_t(r)].size();
        if (cells >= kPartCells && reach == r)
            return r + 1;
    }
    return rows;
}

// A page's table: its rows, from its first (0-based) on.
struct TableRows {
    const Document& doc;
    int first;
    const TableRow& row(int r) const { return doc.rows[size_t(first + r)]; }
};

void setGapFormat(QTextCursor& cursor) {
    QTextBlockFormat gap;
    gap.setProperty(kTableGapProperty, true);
    cursor.setBlockFormat(gap);
}

QTextTableFormat tableFormat(const TableRow& top, const TableGrid& grid) {
    QTextTableFormat tf;
    tf.setBorderCollapse(true);
    tf.setBorder(0);
    tf.setCellSpacing(0);
    // Text a few pixels off the cell's lines even where the page asks for no gap (as
    // LibreOffice writes its tables, keeping its own padding we do not read).
    tf.setCellPadding(std::max(px(top.gap), kMinPadding));
    tf.setAlignment(qtAlignment(int(top.align)) & Qt::AlignHorizontal_Mask);
    tf.setLeftMargin(px(std::max(top.left, 0)));
    // Columns in their proportions; a table wider than a few inches fills the editor's width
    // (a page's window is small), a narrower one keeps its own.
    const int total = std::max(grid.edges.back() - grid.left, 1);
    QList<QTextLength> widths;
    QList<int> columns{grid.left};
    int before = grid.left;
    for (int edge : grid.edges) {
        widths << QTextLength(QTextLength::PercentageLength, (edge - before) * 100.0 / total);
        columns << edge;
        before = edge;
    }
    tf.setColumnWidthConstraints(widths);
    tf.setWidth(total > kFitWidth ? QTextLength(QTextLength::PercentageLength, 100)
                                  : QTextLength(QTextLength::FixedLength, px(total)));
    tf.setProperty(kTableColumnsProperty, QVariant::fromValue(columns));
    return tf;
}

bool hasOwnFormat(const TableCell& cell) {
    return cell.shading || std::any_of(std::begin(cell.borders), std::end(cell.borders),
                                       [](const Border& b) { return b.width > 0; });
}

// Merges, borders and shading of grid rows [from, to), the rows of the table part.
void setCellFormats(QTextTable* table, const TableRows& rows, const TableGrid& grid, int from,
                    int to) {
    for (int r = from; r < to; ++r) {
        const TableRow& row = rows.row(r);
        for (size_t c = 0; c < row.cells.size(); ++c) {
            const GridCell& g = grid.cells[size_t(r)][c];
            if (g.covered)
                continue;
            if (g.rowSpan > 1 || g.columnSpan > 1)
                table->mergeCells(r - from, g.column, g.rowSpan, g.columnSpan);
            const TableCell& model = row.cells[c];
            if (!hasOwnFormat(model)) // as a cell is without a format of its own
                continue;
            QTextTableCell cell = table->cellAt(r - from, g.column);
            QTextTableCellFormat cf = cell.format().toTableCellFormat();
            for (int side = 0; side < 4; ++side)
                setBorder(cf, side, model.borders[side]);
            if (model.shading)
                cf.setBackground(QColor(QRgb(*model.shading)));
            cell.setFormat(cf);
        }
    }
}

// The paragraphs [first, end) of the part's rows, a run of the same cell at a time; those of
// a merged-away cell go into the cell that took its place, unless they are empty.
void fillCells(QTextTable* table, const TableRows& rows, const TableGrid& grid, int from,
               size_t first, size_t end, const CellFill& fill) {
    const std::vector<Paragraph>& paragraphs = rows.doc.paragraphs;
    const size_t columns = grid.edges.size();
    std::vector<char> filled(size_t(table->rows()) * columns, 0);
    for (size_t i = first; i < end;) {
        const Paragraph& p = paragraphs[i];
        size_t to = i + 1;
        while (to < end && paragraphs[to].row == p.row && paragraphs[to].cell == p.cell)
            ++to;
        const int r = p.row - 1 - rows.first;
        const GridCell& g = grid.cells[size_t(r)][size_t(p.cell)];
        const auto skipped = [&](size_t k) { return g.covered && isEmpty(paragraphs[k]); };
        for (size_t k = i; k < to;) {
            size_t run = k;
            while (run < to && !skipped(run))
                ++run;
            if (run > k) {
                const QTextTableCell cell = table->cellAt(r - from, g.column);
                // A merged-away cell's paragraphs go where the cell over it starts.
                const int top = g.covered ? cell.row() : r - from;
                const int left = g.covered ? cell.column() : g.column;
                char& done = filled[size_t(top) * columns + size_t(left)];
                fill(cell.lastCursorPosition(), k, run, !done);
                done = 1;
            }
            k = std::max(run, k + 1);
        }
        i = to;
    }
}

// Appends a table's cells to a page: each cell's blocks as paragraphs, or one empty paragraph.
struct TableReader {
    Document& doc;
    int rowBase; // the page's rows before the table's
    const std::function<Paragraph(const QTextBlock&)>& paragraphOf;

    void add(const QTextTableCell* cell, int row, int index) const {
        const size_t before = doc.paragraphs.size();
        if (cell)
            forEachBlock(*cell,
                         [&](const QTextBlock& b) { doc.paragraphs.push_back(paragraphOf(b)); });
        if (doc.paragraphs.size() == before)
            doc.paragraphs.emplace_back();
        for (size_t k = before; k < doc.paragraphs.size(); ++k) {
            doc.paragraphs[k].row = rowBase + row + 1;
            doc.paragraphs[k].cell = index;
        }
    }
};

// A table still on the grid of the rows it was read with: those rows, cell for cell.
void appendKeptRows(const QTextTable* table, const TableGrid& grid, std::vector<TableRow> kept,
                    const TableReader& reader) {
    for (size_t r = 0; r < kept.size(); ++r) {
        for (size_t c = 0; c < kept[r].cells.size(); ++c) {
            const GridCell& g = grid.cells[r][c];
            if (g.covered) {
                reader.add(nullptr, int(r), int(c));
            } else {
                const QTextTableCell cell = table->cellAt(int(r), g.column);
                reader.add(&cell, int(r), int(c));
            }
        }
        reader.doc.rows.push_back(std::move(kept[r]));
    }
}

// The widths of a table made in the editor's columns, in twips.
std::vector<int> editorColumnWidths(const QTextTableFormat& tf, int columns) {
    const QList<QTextLength> constraints = tf.columnWidthConstraints();
    std::vector<int> widths(size_t(columns), kPastedTableWidth / std::max(columns, 1));
    if (constraints.size() != columns)
        return widths;
    for (int c = 0; c < columns; ++c) {
        const QTextLength& l = constraints[c];
        if (l.type() == QTextLength::FixedLength && l.rawValue() > 0)
            widths[size_t(c)] = std::max(twips(l.rawValue()), 1);
        else if (l.type() == QTextLength::PercentageLength && l.rawValue() > 0)
            widths[size_t(c)] = std::max(int(kPastedTableWidth * l.rawValue() / 100), 1);
    }
    return widths;
}

TableCell editorCell(const QTextTableCell& cell, int right, double tableBorder) {
    TableCell tc;
    tc.right = right;
    const QTextTableCellFormat cf = cell.format().toTableCellFormat();
    for (int side = 0; side < 4; ++side)
        tc.borders[side] = borderOf(cf, side, tableBorder);
    if (cf.background().style() != Qt::NoBrush)
        tc.shading = std::uint32_t(cf.background().color().rgb() & 0xFFFFFF);
    return tc;
}

// A table made in the editor: rows from its grid, widths from its columns.
void appendEditorTable(const QTextTable* table, const TableReader& reader) {
    const QTextTableFormat tf = table->format();
    const int columns = table->columns();
    const std::vector<int> widths = editorColumnWidths(tf, columns);
    TableRow shape;
    shape.left = twips(tf.leftMargin());
    shape.gap = twips(tf.cellPadding());
    shape.align = Alignment(alignmentCode(tf.alignment()));
    if (shape.align == Alignment::Justify)
        shape.align = Alignment::Left;
    for (int r = 0; r < table->rows(); ++r) {
        TableRow row = shape;
        int right = shape.left;
        for (int c = 0; c < columns; ++c) {
            right += widths[size_t(c)];
            const QTextTableCell cell = table->cellAt(r, c);
            if (cell.column() + cell.columnSpan() - 1 != c)
                continue; // the cell goes on to the right
            TableCell tc = editorCell(cell, right, tf.border());
            const int index = int(row.cells.size());
            const bool continued = cell.row() != r;
            tc.vmerge = continued            ? CellMerge::Continue
                        : cell.rowSpan() > 1 ? CellMerge::First
                                             : CellMerge::None;
            reader.add(continued ? nullptr : &cell, r, index);
            row.cells.push_back(tc);
        }
        reader.doc.rows.push_back(std::move(row));
    }
}

} // namespace

size_t tableEnd(const Document& doc, size_t first) {
    size_t end = first;
    while (end < doc.paragraphs.size() && inTable(doc, doc.paragraphs[end]) &&
           (end == first || doc.paragraphs[end].row == doc.paragraphs[end - 1].row ||
            doc.paragraphs[end].row == doc.paragraphs[end - 1].row + 1))
        ++end;
    return end;
}

void insertTable(QTextCursor& cursor, const Document& doc, size_t first, size_t end,
                 bool spareBlock, const CellFill& fill) {
    const TableRows rows{doc, doc.paragraphs[first].row - 1};
    const int rowCount = doc.paragraphs[end - 1].row - rows.first;
    const TableGrid grid = tableGrid(doc.rows, size_t(rows.first), size_t(rowCount));
    const QTextTableFormat tf = tableFormat(doc.rows[size_t(rows.first)], grid);
    if (spareBlock)
        setGapFormat(cursor);
    for (int from = 0; from < rowCount;) {
        const int to = partEnd(grid, from);
        size_t next = first;
        while (next < end && doc.paragraphs[next].row - 1 - rows.first < to)
            ++next;
        QTextTableFormat part = tf;
        part.setProperty(
            kTableRowsProperty,
            QVariant::fromValue(packRows(doc.rows, size_t(rows.first + from), size_t(to - from))));
        QTextTable* table = cursor.insertTable(to - from, int(grid.edges.size()), part);
        setCellFormats(table, rows, grid, from, to);
        fillCells(table, rows, grid, from, first, next, fill);
        cursor = table->lastCursorPosition();
        cursor.movePosition(QTextCursor::NextBlock);
        setGapFormat(cursor);
        first = next;
        from = to;
    }
}

bool isTableGap(const QTextBlock& block) {
    return block.length() <= 1 && block.blockFormat().hasProperty(kTableGapProperty);
}

bool isTablePartJoin(const QTextBlock& block) {
    return isTableGap(block) && block.previous().isValid() && block.next().isValid() &&
           outermostTable(block.previous()) && outermostTable(block.next());
}

QTextTable* outermostTable(const QTextBlock& block) {
    QTextTable* outer = nullptr;
    for (QTextFrame* f = QTextCursor(block).currentFrame(); f; f = f->parentFrame())
        if (auto* t = qobject_cast<QTextTable*>(f))
            outer = t;
    return outer;
}

void appendTable(const QTextTable* table, Document& doc,
                 const std::function<Paragraph(const QTextBlock&)>& paragraphOf) {
    const TableReader reader{doc, int(doc.rows.size()), paragraphOf};
    const QTextTableFormat tf = table->format();
    std::vector<TableRow> kept = unpackRows(tf.property(kTableRowsProperty).value<QList<int>>());
    const QList<int> columns = tf.property(kTableColumnsProperty).value<QList<int>>();
    if (!kept.empty() && columns.size() > 1) {
        const TableGrid grid = tableGrid(kept, 0, kept.size(), columns.front(),
                                         std::vector<int>(columns.begin() + 1, columns.end()));
        if (hasGrid(table, grid))
            return appendKeptRows(table, grid, std::move(kept), reader);
    }
    appendEditorTable(table, reader);
}

} // namespace qly
