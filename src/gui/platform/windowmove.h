#pragma once

#include <Qt>

class QWindow;

namespace qly {

// Hands the move of a window to the window manager's own move loop, which follows the mouse
// until the button that is held goes up. Unlike QWindow::startSystemMove, which on X11 always
// names the left button, any button works: a move started with the right button ends when the
// right button is released.
void startWindowMove(QWindow* window, Qt::MouseButton button);

} // namespace qly
