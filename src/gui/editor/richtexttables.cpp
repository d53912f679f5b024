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
    const int firstRow = doc.paragraphs[first].row;
    const int rowCount = doc.paragraphs[end - 1].row - firstRow + 1;
    const TableGrid grid = tableGrid(doc.rows, size_t(firstRow - 1), size_t(rowCount));
    const TableRow& top = doc.rows[size_t(firstRow) - 1];

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
    int before = grid.left;
    for (int edge : grid.edges) {
        widths << QTextLength(QTextLength::PercentageLength, (edge - before) * 100.0 / total);
        before = edge;
    }
    tf.setColumnWidthConstraints(widths);
    tf.setWidth(total > kFitWidth ? QTextLength(QTextLength::PercentageLength, 100)
                                  : QTextLength(QTextLength::FixedLength, px(total)));
    tf.setProperty(kTableRowsProperty,
                   QVariant::fromValue(packRows(doc.rows, size_t(firstRow - 1), size_t(rowCount))));
    if (spareBlock) {
        QTextBlockFormat gap;
        gap.setProperty(kTableGapProperty, true);
        cursor.setBlockFormat(gap);
    }
    QTextTable* table = cursor.insertTable(rowCount, int(grid.edges.size()), tf);

    for (int r = 0; r < rowCount; ++r) {
        const TableRow& row = doc.rows[size_t(firstRow - 1 + r)];
        for (size_t c = 0; c < row.cells.size(); ++c) {
            const GridCell& g = grid.cells[size_t(r)][c];
            if (g.covered)
                continue;
            if (g.rowSpan > 1 || g.columnSpan > 1)
                table->mergeCells(r, g.column, g.rowSpan, g.columnSpan);
            QTextTableCell cell = table->cellAt(r, g.column);
            QTextTableCellFormat cf = cell.format().toTableCellFormat();
            const TableCell& model = row.cells[c];
            for (int side = 0; side < 4; ++side)
                setBorder(cf, side, model.borders[side]);
            if (model.shading)
                cf.setBackground(QColor(QRgb(*model.shading)));
            cell.setFormat(cf);
        }
    }
    // The cells' paragraphs, a run of the same cell at a time; those of a merged-away cell go
    // into the cell that took its place, unless they are empty.
    const size_t columns = grid.edges.size();
    std::vector<char> filled(size_t(rowCount) * columns, 0);
    for (size_t i = first; i < end;) {
        const Paragraph& p = doc.paragraphs[i];
        size_t to = i + 1;
        while (to < end && doc.paragraphs[to].row == p.row && doc.paragraphs[to].cell == p.cell)
            ++to;
        const int r = p.row - firstRow;
        const GridCell& g = grid.cells[size_t(r)][size_t(p.cell)];
        auto skipped = [&](size_t k) { return g.covered && isEmpty(doc.paragraphs[k]); };
        for (size_t k = i; k < to;) {
            if (skipped(k)) {
                ++k;
                continue;
            }
            size_t run = k + 1;
            while (run < to && !skipped(run))
                ++run;
            const QTextTableCell cell = table->cellAt(r, g.column);
            char& done = filled[size_t(cell.row()) * columns + size_t(cell.column())];
            fill(cell.lastCursorPosition(), k, run, !done);
            done = 1;
            k = run;
        }
        i = to;
    }
    cursor = table->lastCursorPosition();
    cursor.movePosition(QTextCursor::NextBlock);
    QTextBlockFormat gap;
    gap.setProperty(kTableGapProperty, true);
    cursor.setBlockFormat(gap);
}

bool isTableGap(const QTextBlock& block) {
    return block.length() <= 1 && block.blockFormat().hasProperty(kTableGapProperty);
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
    const QTextTableFormat tf = table->format();
    const int rowBase = int(doc.rows.size());
    auto add = [&](const QTextTableCell* cell, int row, int index) {
        bool any = false;
        if (cell)
            forEachBlock(*cell, [&](const QTextBlock& b) {
                Paragraph p = paragraphOf(b);
                p.row = rowBase + row + 1;
                p.cell = index;
                doc.paragraphs.push_back(std::move(p));
                any = true;
            });
        if (!any) {
            Paragraph p;
            p.row = rowBase + row + 1;
            p.cell = index;
            doc.paragraphs.push_back(std::move(p));
        }
    };

    const std::vector<TableRow> kept =
        unpackRows(tf.property(kTableRowsProperty).value<QList<int>>());
    const TableGrid grid = tableGrid(kept, 0, kept.size());
    if (!kept.empty() && hasGrid(table, grid)) {
        for (size_t r = 0; r < kept.size(); ++r) {
            for (size_t c = 0; c < kept[r].cells.size(); ++c) {
                const GridCell& g = grid.cells[r][c];
                if (g.covered) {
                    add(nullptr, int(r), int(c));
                } else {
                    const QTextTableCell cell = table->cellAt(int(r), g.column);
                    add(&cell, int(r), int(c));
                }
            }
            doc.rows.push_back(kept[r]);
        }
        return;
    }

    // A table made in the editor: rows from its grid, widths from its columns.
    const int columns = table->columns();
    const QList<QTextLength> constraints = tf.columnWidthConstraints();
    std::vector<int> widths(size_t(columns), kPastedTableWidth / std::max(columns, 1));
    if (constraints.size() == columns)
        for (int c = 0; c < columns; ++c) {
            const QTextLength& l = constraints[c];
            if (l.type() == QTextLength::FixedLength && l.rawValue() > 0)
                widths[size_t(c)] = std::max(twips(l.rawValue()), 1);
            else if (l.type() == QTextLength::PercentageLength && l.rawValue() > 0)
                widths[size_t(c)] = std::max(int(kPastedTableWidth * l.rawValue() / 100), 1);
        }
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
            TableCell tc;
            tc.right = right;
            const QTextTableCellFormat cf = cell.format().toTableCellFormat();
            for (int side = 0; side < 4; ++side)
                tc.borders[side] = borderOf(cf, side, tf.border());
            if (cf.background().style() != Qt::NoBrush)
                tc.shading = std::uint32_t(cf.background().color().rgb() & 0xFFFFFF);
            const int index = int(row.cells.size());
            if (cell.row() != r) {
                tc.vmerge = CellMerge::Continue;
                add(nullptr, r, index);
            } else {
                tc.vmerge = cell.rowSpan() > 1 ? CellMerge::First : CellMerge::None;
                add(&cell, r, index);
            }
            row.cells.push_back(tc);
        }
        doc.rows.push_back(std::move(row));
    }
}

} // namespace qly
