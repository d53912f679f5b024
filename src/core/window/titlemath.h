#pragma once

#include <vector>

namespace qly {

// Arithmetic of the title bar, its splitter and the main menu's banner, kept apart from the
// widgets so that it can be checked without a window.

struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Rows top..bottom-1 of a gradient strip that share one colour.
struct GradientBand {
    int top = 0;
    int bottom = 0; // exclusive
    Rgb color;
};

// The banner's gradient over rows top..bottom-1: at most 32 equal bands stepping from start to
// end, then the rows left over in the end colour. An empty strip has no bands.
std::vector<GradientBand> gradientBands(int top, int bottom, Rgb start, Rgb end);

inline constexpr Rgb BannerStart{0, 255, 0}; // lime
inline constexpr Rgb BannerEnd{0, 128, 0};   // green
inline constexpr int BannerWidth = 18;       // the main menu's left margin

// The picture of a menu item: a tag above 9 names picture tag - 11; otherwise the item keeps
// the index it has (-1 for none).
int menuImageIndex(int tag, int index);

// One horizontal line of the title grip: from x = left to x = right - 1 on row y.
struct GripLine {
    int y = 0;
    int left = 0;
    int right = 0; // exclusive
};

// Nine lines two pixels apart, whatever the height of the grip.
std::vector<GripLine> gripLines(int width);

inline constexpr int MinTitleHeight = 5;
inline constexpr int TitleHeightLimit = 50; // a drag never reaches this height

// The title bar's height while its splitter is dragged: at least 5, and a height of 50 or more
// is not taken, so the title keeps the height it had.
int draggedTitleHeight(int currentHeight, int proposedHeight);

// The buttons and the page selector of the title bar are its height minus 2.
inline int titleButtonHeight(int titleHeight) {
    return titleHeight - 2;
}

} // namespace qly
