#pragma once

#include <QIcon>
#include <QImage>

#include <functional>

namespace qly {

// Draws a picture of the program's own at a device pixel ratio of 1 or 2 (an image of the
// logical size times the ratio, carrying that ratio), for a mode of the icon; a null image
// where the mode has no drawing of its own.
using IconDrawing = std::function<QImage(int dpr, QIcon::Mode mode)>;

// An icon of a picture the program draws, `size` logical pixels large, drawn only when it is
// first shown, at the ratio and in the mode shown, and kept for the program's life. A mode
// without a drawing of its own is made from the Normal picture by the style, as for icons
// made of pixmaps. Icons drawn at start-up cost the window time before it shows: menus,
// buttons in the disabled state and pictures for high-density screens mostly never show.
QIcon paintedIcon(QSize size, IconDrawing draw);

} // namespace qly
