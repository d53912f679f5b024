#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace qly {

// Quillery's own rich-text model: what a page holds, independent of any widget.
// Colours are 0xRRGGBB; an empty optional is the automatic colour.
struct CharFormat {
    QString font;    // family name; empty: the default font
    int charset = 0; // the font's character set as RTF names it (\fcharset)
    double size = 0; // points; 0: the default size
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    std::optional<std::uint32_t> color;
    std::optional<std::uint32_t> background;
    QString link; // the address the text opens (a HYPERLINK field); empty: none

    bool operator==(const CharFormat&) const = default;
};

// A run of text in one format. Tabs are '\t'; a soft line break is U+2028.
struct TextRun {
    QString text;
    CharFormat format;
    // A picture: Document::pictures[picture - 1], the run's text one U+FFFC. 0: text.
    int picture = 0;

    bool operator==(const TextRun&) const = default;
};

// Kinds are stored by these values (pages, editor properties, menu tags): never renumber.
enum class Alignment { Left = 0, Right = 1, Center = 2, Justify = 3 };

enum class TabKind { Left = 0, Right = 1, Center = 2, Decimal = 3 };

struct TabStop {
    int position = 0; // twips from the left indent's origin (the text area's left edge)
    TabKind kind = TabKind::Left;

    bool operator==(const TabStop&) const = default;
};

enum class ListStyle {
    Bullet = 0,
    Decimal = 1,
    LowerLetter = 2,
    UpperLetter = 3,
    LowerRoman = 4,
    UpperRoman = 5
};

// One level of a list: how its items are marked.
struct ListLevel {
    ListStyle style = ListStyle::Bullet;
    int start = 1;                           // the first item's number
    QString prefix;                          // numbered: the text before the number
    QString suffix;                          // numbered: the text after it
    QString bullet = QString(QChar(0x2022)); // bulleted: the mark
    // Numbered: how many level numbers the label shows, its own last ("2.1." shows 2), and
    // the text between two of them.
    int numbers = 1;
    QString separator = QStringLiteral(".");

    bool operator==(const ListLevel&) const = default;
};

inline constexpr int kListLevels = 9;

// A list: the paragraphs that name it are its items, numbered on through the document.
struct List {
    ListLevel levels[kListLevels];

    bool operator==(const List&) const = default;
};

// A paragraph: its runs and how it is laid out. Lengths are twips (1/1440 inch), as RTF
// keeps them, so that nothing drifts by rounding on the way through the editor.
struct Paragraph {
    Paragraph() = default;
    Paragraph(Alignment alignment, std::vector<TextRun> text)
        : align(alignment), runs(std::move(text)) {}

    Alignment align = Alignment::Left;
    std::vector<TextRun> runs;
    int leftIndent = 0;
    int rightIndent = 0;
    int firstIndent = 0; // of the first line, relative to leftIndent; negative: a hanging indent
    int spaceBefore = 0;
    int spaceAfter = 0;
    // 0: single. With lineMultiple, lineSpacing/240 lines; else lineSpacing > 0 is at least
    // that many twips and lineSpacing < 0 exactly -lineSpacing twips.
    int lineSpacing = 0;
    bool lineMultiple = false;
    bool keepTogether = false; // the lines of the paragraph stay on one page
    bool keepWithNext = false; // the paragraph stays on the page of the next one
    std::vector<TabStop> tabs; // ascending positions
    int list = 0;              // an item of Document::lists[list - 1]; 0: no list item
    int listLevel = 0;         // 0 .. kListLevels - 1
    // In a table: a paragraph of cell `cell` (0-based) of Document::rows[row - 1]; 0: not in
    // a table. A cell's paragraphs follow each other; rows that follow each other form a table.
    int row = 0;
    int cell = 0;

    bool operator==(const Paragraph&) const = default;
};

enum class CellMerge { None = 0, First = 1, Continue = 2 };

enum BorderSide : int { BorderTop = 0, BorderLeft = 1, BorderBottom = 2, BorderRight = 3 };

// A line along a side of a table cell; width 0: no line.
struct Border {
    int width = 0; // twips
    std::optional<std::uint32_t> color;

    bool operator==(const Border&) const = default;
};

// A table cell's shape and look. A cell merged into the one before it (or above it) is still
// a cell of its row, and holds an empty paragraph.
struct TableCell {
    int right = 0;                        // its right edge, twips from the text's left edge
    CellMerge merge = CellMerge::None;    // with the cells to its right
    CellMerge vmerge = CellMerge::None;   // with the cells below it
    Border borders[4];                    // by BorderSide
    std::optional<std::uint32_t> shading; // its background colour

    bool operator==(const TableCell&) const = default;
};

inline constexpr int kMaxTableCells = 63; // cells of a row kept; the text of more goes on

// A table row: the cells its paragraphs name.
struct TableRow {
    int left = 0; // its left edge, twips from the text's left edge
    int gap = 0;  // half the space between the text of two cells, twips
    Alignment align = Alignment::Left;
    std::vector<TableCell> cells;

    bool operator==(const TableRow&) const = default;
};

enum class PictureFormat { None = 0, Png = 1, Jpeg = 2 };

// A picture in a page. PNG and JPEG data show as they are; a picture in a form that cannot be
// drawn here (a metafile, an embedded object) keeps the RTF group it came in, which is
// written back unchanged, and shows as a frame of its size.
struct Picture {
    PictureFormat format = PictureFormat::None; // of data
    QByteArray data; // the image file; for a kept object, the picture of its result
    int width = 0;   // as shown, twips; 0: not known
    int height = 0;
    QByteArray rtf; // the RTF group as read, written back as it stands; empty: from data

    bool operator==(const Picture&) const = default;
};

// A document always holds at least one paragraph once read; an empty page is one
// empty paragraph.
struct Document {
    Document() = default;
    explicit Document(std::vector<Paragraph> text) : paragraphs(std::move(text)) {}

    std::vector<Paragraph> paragraphs;
    std::vector<List> lists;
    std::vector<TableRow> rows;
    std::vector<Picture> pictures;

    bool operator==(const Document&) const = default;
};

} // namespace qly
