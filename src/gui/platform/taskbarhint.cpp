#include "platform/taskbarhint.h"

#include <QGuiApplication>
#include <QWidget>

#if defined(QLY_HAVE_XCB)
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>
#endif

namespace qly {

#if defined(QLY_HAVE_XCB)
namespace {
xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}
} // namespace
#endif

void keepOffTaskbar(QWidget* window) {
#if defined(QLY_HAVE_XCB)
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || window->isVisible())
        return;
    xcb_connection_t* c = x11->connection();
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t state = internAtom(c, "_NET_WM_STATE");
    const xcb_atom_t wanted[] = {internAtom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                                 internAtom(c, "_NET_WM_STATE_SKIP_PAGER")};
    if (state == XCB_ATOM_NONE)
        return;

    // The window is withdrawn, so its state is ours to set; Qt adds its own states to what it
    // finds there when it maps the window.
    std::vector<xcb_atom_t> atoms;
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(c, 0, id, state, XCB_ATOM_ATOM, 0, 1024);
    if (xcb_get_property_reply_t* reply = xcb_get_property_reply(c, cookie, nullptr)) {
        if (reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
            const auto* data = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
            atoms.assign(data, data + xcb_get_property_value_length(reply) / 4);
        }
        std::free(reply);
    }
    for (xcb_atom_t a : wanted) {
        if (a != XCB_ATOM_NONE && std::find(atoms.begin(), atoms.end(), a) == atoms.end())
            atoms.push_back(a);
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(atoms.size()), atoms.data());
    xcb_flush(c);
#else
    Q_UNUSED(window);
#endif
}

} // namespace qly
