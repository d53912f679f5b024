#pragma once
// Table rows in RTF: reading a row's definition (\trowd ... \cellx) and writing one.

#include "model/document.h"

#include <QByteArray>
#include <QHash>

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace qly::rtf {

// The control words a row definition is made of, for the reader's keyword table.
int tableWordCount();
std::string_view tableWord(int i);

// The row definition in force while RTF is read: \trowd starts one, each \cellx ends the
// definition of a cell. Words of borders apply to the border named last.
class RowDefinition {
public:
    // A table word (one of tableWord(0 .. tableWordCount() - 1)) with its parameter; colours index
    // the colour table.
    void word(std::string_view name, bool hasParam, int param,
              const std::vector<std::optional<std::uint32_t>>& colors);
    // Words of borders that follow belong to no cell or row border (a paragraph's border).
    void endBorder() { m_target = nullptr; }
    // The row of `cells` cells: the definitions read, cells past them a default width on; row
    // borders become the borders of the cells that have none of their own.
    TableRow row(int cells) const;

private:
    struct Cell {
        TableCell cell;
        std::uint8_t named = 0; // sides with a border of its own
        std::optional<std::uint32_t> pattern, back;
        int shade = 0; // hundredths of a percent of pattern over background
    };
    Border* startBorder(Border& border);
    TableCell withRowBorders(const Cell& c, int i, int cells) const;

    TableRow m_row;
    std::vector<Cell> m_cells;
    Cell m_cell;
    Border m_rowBorders[6]; // top, left, bottom, right, inside horizontal, inside vertical
    Border* m_target = nullptr;
};

// Appends "\trowd..." up to the last "\cellx" of the row; colours by their index in the
// colour table.
void appendRowDefinition(QByteArray& out, const TableRow& row,
                         const QHash<std::uint32_t, int>& colorIndex);

// The colours a row's definition names, for the colour table.
template <typename F> void forEachRowColor(const TableRow& row, F&& f) {
    for (const TableCell& c : row.cells) {
        for (const Border& b : c.borders)
            if (b.width > 0 && b.color)
                f(*b.color);
        if (c.shading)
            f(*c.shading);
    }
}

} // namespace qly::rtf
