#include "platform/windowmove.h"

#include <QCursor>
#include <QGuiApplication>
#include <QWindow>

#if defined(QLY_HAVE_XCB)
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#endif

namespace qly {

#if defined(QLY_HAVE_XCB)
namespace {
bool startX11Move(QWindow* window, Qt::MouseButton button) {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return false;
    int index = 0;
    switch (button) {
    case Qt::RightButton:
        index = XCB_BUTTON_INDEX_3;
        break;
    case Qt::MiddleButton:
        index = XCB_BUTTON_INDEX_2;
        break;
    default:
        return false; // the left button and others go the usual way
    }
    xcb_connection_t* c = x11->connection();
    const char name[] = "_NET_WM_MOVERESIZE";
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof name - 1, name), nullptr);
    const xcb_atom_t moveResize = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    if (moveResize == XCB_ATOM_NONE)
        return false;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!screen)
        return false;

    // The pointer in the X server's own pixels, wherever Qt scales.
    xcb_query_pointer_reply_t* pointer =
        xcb_query_pointer_reply(c, xcb_query_pointer(c, screen->root), nullptr);
    if (!pointer)
        return false;
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(window->winId());
    event.type = moveResize;
    event.data.data32[0] = uint32_t(pointer->root_x);
    event.data.data32[1] = uint32_t(pointer->root_y);
    event.data.data32[2] = 8; // _NET_WM_MOVERESIZE_MOVE
    event.data.data32[3] = uint32_t(index);
    event.data.data32[4] = 1; // a normal application asks
    std::free(pointer);
    xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
    xcb_send_event(c, 0, screen->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(c);
    return true;
}
} // namespace
#endif

void startWindowMove(QWindow* window, Qt::MouseButton button) {
    if (!window)
        return;
#if defined(QLY_HAVE_XCB)
    if (startX11Move(window, button))
        return;
#endif
    window->startSystemMove();
}

} // namespace qly
