// Table rows in RTF. A row's definition precedes (or, as Word also writes it, follows) its
// cells; the reader takes the one in force when the row ends.
//
//   \trowd\trgaph108\trleft0\clvmgf\clbrdrt\brdrs\brdrw10\brdrcf1\clcbpat2\cellx2880\cellx5760
//   \pard\intbl text\cell\pard\intbl more\par last\cell\row
#include "rtf/rtftables.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>

namespace qly::rtf {
namespace {

enum class W : std::uint8_t {
    Trowd,
    Trgaph,
    Trleft,
    Trql,
    Trqr,
    Trqc,
    RowBorder, // \trbrdrt l b r h v
    CellBorder,
    BorderStyle,
    BorderNone,
    BorderWidth,
    BorderColor,
    OtherBorder, // a paragraph's border
    Clmgf,
    Clmrg,
    Clvmgf,
    Clvmrg,
    Clcbpat,
    Clcfpat,
    Clshdng,
    Cellx,
};

struct Entry {
    std::string_view name;
    W w;
    int side; // RowBorder: 0-5; CellBorder: a BorderSide
};

constexpr Entry kEntries[] = {
    {"trowd", W::Trowd, 0},
    {"trgaph", W::Trgaph, 0},
    {"trleft", W::Trleft, 0},
    {"trql", W::Trql, 0},
    {"trqr", W::Trqr, 0},
    {"trqc", W::Trqc, 0},
    {"trbrdrt", W::RowBorder, 0},
    {"trbrdrl", W::RowBorder, 1},
    {"trbrdrb", W::RowBorder, 2},
    {"trbrdrr", W::RowBorder, 3},
    {"trbrdrh", W::RowBorder, 4},
    {"trbrdrv", W::RowBorder, 5},
    {"clbrdrt", W::CellBorder, BorderTop},
    {"clbrdrl", W::CellBorder, BorderLeft},
    {"clbrdrb", W::CellBorder, BorderBottom},
    {"clbrdrr", W::CellBorder, BorderRight},
    {"brdrs", W::BorderStyle, 0},
    {"brdrth", W::BorderStyle, 0},
    {"brdrsh", W::BorderStyle, 0},
    {"brdrdb", W::BorderStyle, 0},
    {"brdrdot", W::BorderStyle, 0},
    {"brdrdash", W::BorderStyle, 0},
    {"brdrhair", W::BorderStyle, 0},
    {"brdrdashsm", W::BorderStyle, 0},
    {"brdrdashd", W::BorderStyle, 0},
    {"brdrdashdd", W::BorderStyle, 0},
    {"brdrtriple", W::BorderStyle, 0},
    {"brdrwavy", W::BorderStyle, 0},
    {"brdrinset", W::BorderStyle, 0},
    {"brdroutset", W::BorderStyle, 0},
    {"brdremboss", W::BorderStyle, 0},
    {"brdrengrave", W::BorderStyle, 0},
    {"brdrframe", W::BorderStyle, 0},
    {"brdrnone", W::BorderNone, 0},
    {"brdrnil", W::BorderNone, 0},
    {"brdrtbl", W::BorderNone, 0},
    {"brdrw", W::BorderWidth, 0},
    {"brdrcf", W::BorderColor, 0},
    {"brdrt", W::OtherBorder, 0},
    {"brdrb", W::OtherBorder, 0},
    {"brdrl", W::OtherBorder, 0},
    {"brdrr", W::OtherBorder, 0},
    {"box", W::OtherBorder, 0},
    {"brdrbtw", W::OtherBorder, 0},
    {"brdrbar", W::OtherBorder, 0},
    {"clmgf", W::Clmgf, 0},
    {"clmrg", W::Clmrg, 0},
    {"clvmgf", W::Clvmgf, 0},
    {"clvmrg", W::Clvmrg, 0},
    {"clcbpat", W::Clcbpat, 0},
    {"clcfpat", W::Clcfpat, 0},
    {"clshdng", W::Clshdng, 0},
    {"cellx", W::Cellx, 0},
};

constexpr int kMaxLength = 31680 * 4; // twips: four times the widest page
constexpr int kDefaultBorder = 10;    // twips, for a border that names no width
constexpr int kDefaultCell = 1440;    // twips, the width of a cell without a definition

std::optional<std::uint32_t> colorAt(const std::vector<std::optional<std::uint32_t>>& colors,
                                     int index) {
    if (index < 0 || size_t(index) >= colors.size())
        return std::nullopt;
    return colors[size_t(index)];
}

// The colour a shaded cell shows: the pattern colour over the background by the shading.
std::optional<std::uint32_t> shadingColor(const std::optional<std::uint32_t>& pattern,
                                          const std::optional<std::uint32_t>& back, int shade) {
    if (shade <= 0)
        return back;
    const std::uint32_t fg = pattern.value_or(0x000000);
    const std::uint32_t bg = back.value_or(0xFFFFFF);
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int f = int(fg >> shift & 0xFF), b = int(bg >> shift & 0xFF);
        out |= std::uint32_t((b * (10000 - shade) + f * shade + 5000) / 10000) << shift;
    }
    return out;
}

} // namespace

int tableWordCount() {
    return int(std::size(kEntries));
}

std::string_view tableWord(int i) {
    return kEntries[i].name;
}

Border* RowDefinition::startBorder(Border& border) {
    border = Border{};
    return &border;
}

void RowDefinition::word(std::string_view name, bool hasParam, int param,
                         const std::vector<std::optional<std::uint32_t>>& colors) {
    static const std::unordered_map<std::string_view, const Entry*> entries = [] {
        std::unordered_map<std::string_view, const Entry*> m;
        for (const Entry& x : kEntries)
            m.emplace(x.name, &x);
        return m;
    }();
    const auto found = entries.find(name);
    if (found == entries.end())
        return;
    const Entry* e = found->second;
    switch (e->w) {
    case W::Trowd:
        m_row = TableRow{};
        m_cells.clear();
        m_cell = Cell{};
        for (Border& b : m_rowBorders)
            b = Border{};
        m_target = nullptr;
        return;
    case W::Trgaph:
        m_row.gap = std::clamp(param, 0, kMaxLength);
        return;
    case W::Trleft:
        m_row.left = std::clamp(param, -kMaxLength, kMaxLength);
        return;
    case W::Trql:
        m_row.align = Alignment::Left;
        return;
    case W::Trqr:
        m_row.align = Alignment::Right;
        return;
    case W::Trqc:
        m_row.align = Alignment::Center;
        return;
    case W::RowBorder:
        m_target = startBorder(m_rowBorders[e->side]);
        return;
    case W::CellBorder:
        m_cell.named |= std::uint8_t(1 << e->side);
        m_target = startBorder(m_cell.cell.borders[e->side]);
        return;
    case W::BorderStyle:
        if (m_target && m_target->width == 0)
            m_target->width = kDefaultBorder;
        return;
    case W::BorderNone:
        if (m_target)
            *m_target = Border{};
        m_target = nullptr;
        return;
    case W::BorderWidth:
        if (m_target && hasParam)
            m_target->width = std::clamp(param, 1, 255); // RTF allows no wider line
        return;
    case W::BorderColor:
        if (m_target)
            m_target->color = colorAt(colors, param);
        return;
    case W::OtherBorder:
        m_target = nullptr;
        return;
    case W::Clmgf:
        m_cell.cell.merge = CellMerge::First;
        return;
    case W::Clmrg:
        m_cell.cell.merge = CellMerge::Continue;
        return;
    case W::Clvmgf:
        m_cell.cell.vmerge = CellMerge::First;
        return;
    case W::Clvmrg:
        m_cell.cell.vmerge = CellMerge::Continue;
        return;
    case W::Clcbpat:
        m_cell.back = colorAt(colors, param);
        return;
    case W::Clcfpat:
        m_cell.pattern = colorAt(colors, param);
        return;
    case W::Clshdng:
        m_cell.shade = std::clamp(param, 0, 10000);
        return;
    case W::Cellx:
        m_cell.cell.right = std::clamp(param, -kMaxLength, kMaxLength);
        m_cell.cell.shading = shadingColor(m_cell.pattern, m_cell.back, m_cell.shade);
        if (m_cells.size() < size_t(kMaxTableCells))
            m_cells.push_back(m_cell);
        m_cell = Cell{};
        m_target = nullptr;
        return;
    }
}

// The cell with the row's borders where it has none of its own: the row's top and bottom,
// else its inside horizontal border; its left and right at its ends, else its inside
// vertical border.
TableCell RowDefinition::withRowBorders(const Cell& c, int i, int cells) const {
    TableCell out = c.cell;
    const Border* b = m_rowBorders;
    const Border fallback[4] = {b[0].width ? b[0] : b[4], i == 0 ? b[1] : b[5],
                                b[2].width ? b[2] : b[4], i == cells - 1 ? b[3] : b[5]};
    for (int side = 0; side < 4; ++side) {
        if (!(c.named & (1 << side)))
            out.borders[side] = fallback[side];
        if (out.borders[side].width <= 0) // a colour without a line is no border
            out.borders[side] = Border{};
    }
    return out;
}

TableRow RowDefinition::row(int cells) const {
    TableRow row = m_row;
    cells = std::clamp(cells, 0, kMaxTableCells);
    row.cells.reserve(size_t(cells));
    int right = m_row.left;
    for (int i = 0; i < cells; ++i) {
        if (size_t(i) < m_cells.size()) {
            row.cells.push_back(withRowBorders(m_cells[size_t(i)], i, cells));
        } else {
            row.cells.emplace_back();
            row.cells.back().right = std::min(right + kDefaultCell, kMaxLength);
        }
        right = row.cells.back().right;
    }
    return row;
}

void appendRowDefinition(QByteArray& out, const TableRow& row,
                         const QHash<std::uint32_t, int>& colorIndex) {
    auto word = [&out](const char* name, int value) {
        char number[16];
        out.append(name);
        const auto end = std::to_chars(number, number + sizeof number, value).ptr;
        out.append(number, end - number);
    };
    word("\\trowd\\trgaph", row.gap);
    word("\\trleft", row.left);
    if (row.align == Alignment::Center)
        out.append("\\trqc");
    else if (row.align == Alignment::Right)
        out.append("\\trqr");
    static const char* const kSides[4] = {"\\clbrdrt\\brdrs\\brdrw", "\\clbrdrl\\brdrs\\brdrw",
                                          "\\clbrdrb\\brdrs\\brdrw", "\\clbrdrr\\brdrs\\brdrw"};
    for (const TableCell& c : row.cells) {
        if (c.vmerge == CellMerge::First)
            out.append("\\clvmgf");
        else if (c.vmerge == CellMerge::Continue)
            out.append("\\clvmrg");
        if (c.merge == CellMerge::First)
            out.append("\\clmgf");
        else if (c.merge == CellMerge::Continue)
            out.append("\\clmrg");
        for (int side = 0; side < 4; ++side) {
            const Border& b = c.borders[side];
            if (b.width <= 0)
                continue;
            word(kSides[side], b.width);
            if (b.color)
                word("\\brdrcf", colorIndex.value(*b.color & 0xFFFFFF));
        }
        if (c.shading)
            word("\\clcbpat", colorIndex.value(*c.shading & 0xFFFFFF));
        word("\\cellx", c.right);
    }
}

} // namespace qly::rtf
