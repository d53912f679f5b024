#pragma once

class QWidget;

namespace qly {

// Keeps a top-level window out of the taskbar and the pager. Call it before each show: the
// window manager reads the hint when it takes the window on. Does nothing on a platform
// that has no such hint.
void keepOffTaskbar(QWidget* window);

} // namespace qly
