#pragma once

#include <QString>

#include <cstdint>
#include <optional>
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

    bool operator==(const CharFormat&) const = default;
};

// A run of text in one format. Tabs are '\t'; a soft line break is U+2028.
struct TextRun {
    QString text;
    CharFormat format;

    bool operator==(const TextRun&) const = default;
};

enum Alignment : int { AlignLeft = 0, AlignRight = 1, AlignCenter = 2, AlignJustify = 3 };

struct Paragraph {
    int align = AlignLeft;
    std::vector<TextRun> runs;

    bool operator==(const Paragraph&) const = default;
};

// A document always holds at least one paragraph once read; an empty page is one
// empty paragraph.
struct Document {
    std::vector<Paragraph> paragraphs;

    bool operator==(const Document&) const = default;
};

} // namespace qly
