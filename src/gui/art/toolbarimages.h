#pragma once

#include <QIcon>
#include <QImage>

namespace qly {

// `ToolbarImages`: the main menu's seven 16 x 16 pictures on a transparent background.
//   0 magnifying glass (Find), 1 printer (Print), 2 blank page with yellow rays (unused),
//   3 olive-brown case with a white upward triangle (Go Mobile), 4 two overlapping pages
//   (Copy), 5 clipboard holding a page (Paste), 6 black capital A (Font).
class ToolbarImages {
public:
    static constexpr int Count = 7;
    static constexpr int Size = 16;

    // The picture at an index, drawn for device pixel ratios 1 and 2; a null icon outside 0..6.
    static QIcon icon(int index);
    static QImage render(int index, int dpr);
};

} // namespace qly
