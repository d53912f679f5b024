#pragma once

namespace qly {

// The program's own top-level windows (the main window, the floating button, the help
// window) are plain widgets, which a screen reader would see as fillers: they report the
// role of a window. Installed once, before any of them is shown; later calls do nothing.
void installWindowRoles();

} // namespace qly
