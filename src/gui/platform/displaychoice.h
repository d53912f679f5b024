#pragma once

#include <QByteArray>

namespace qly {

// What the process environment says about the displays around it.
struct DisplayEnvironment {
    QByteArray qpaPlatform;    // QT_QPA_PLATFORM: the user's own choice when not empty
    QByteArray waylandDisplay; // WAYLAND_DISPLAY
    QByteArray x11Display;     // DISPLAY
    QByteArray runtimeDir;     // XDG_RUNTIME_DIR, where a relative Wayland socket name lives
};

// The Qt platform list to run with, or an empty array to leave Qt's own choice. Staying on top,
// placing windows and the floating button need X11, so where a Wayland display and an X11 one
// (such as XWayland) are both reachable, X11 comes first and Wayland stays as the fallback.
// With Wayland alone the program runs there natively (Qt on its own would try X11 only, unless
// the session names itself Wayland). A platform the user chose stands.
QByteArray chooseQtPlatform(const DisplayEnvironment& env);

// Reads the environment and sets QT_QPA_PLATFORM as chooseQtPlatform says. Call it before the
// application object is made.
void preferX11UnderWayland();

// Whether the running platform leaves the placing and stacking of windows to the compositor
// (Wayland): keeping a window on top and putting it at a place are then not the program's.
bool compositorPlacesWindows();

} // namespace qly
