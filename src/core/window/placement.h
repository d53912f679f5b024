#pragma once

#include <QPoint>
#include <QRect>

namespace qly {

// Where the floating button and the main window go on the screen. The screen width is the
// primary screen's; the work-area height is the bottom of its available area.

inline constexpr int FloatingButtonWidth = 34;
inline constexpr int FloatingButtonHeight = 50;

// The floating button's position when it is shown: "MinimizedLeft" and "MinimizedTop" kept
// on the screen (left/top edge at 0, right edge at the screen, bottom at the work area).
QPoint floatingButtonPosition(int minimizedLeft, int minimizedTop, int screenWidth,
                              int workAreaHeight);

// The main window coming back from the floating button: the saved geometry, moved to the left
// or top edge when it starts off the screen there, else inside the screen when it would
// stick out on the right or bottom. The size never changes.
QRect restoredWindowGeometry(const QRect& saved, int screenWidth, int workAreaHeight);

// The edge snap of a dragged window of the given size: a candidate position closer than ten
// pixels to an edge is put flush against it.
QPoint snapToEdges(QPoint candidate, QSize size, int screenWidth, int workAreaHeight);

} // namespace qly
