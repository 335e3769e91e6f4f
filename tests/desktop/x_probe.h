// What the X server and the window manager say about a top-level window, read on a connection
// of its own: caption, icon name, the frame the window manager drew, the actions it allows.
// Also sends the close requests a user's click on a frame's close button would send.
#pragma once

#include <xcb/xcb.h>

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <optional>

namespace pelion::test {

struct FrameExtents {
    int left, right, top, bottom;
};

class XProbe {
public:
    XProbe();  // on $DISPLAY
    ~XProbe();
    XProbe(const XProbe&) = delete;
    XProbe& operator=(const XProbe&) = delete;

    QString caption(xcb_window_t window);   // _NET_WM_NAME
    QString iconName(xcb_window_t window);  // _NET_WM_ICON_NAME
    // _NET_FRAME_EXTENTS, once the window manager has framed the window.
    std::optional<FrameExtents> frameExtents(xcb_window_t window);
    // The window's outer rectangle on the screen, frame included; empty before it is framed.
    QRect outerRect(xcb_window_t window);
    // _NET_WM_ALLOWED_ACTIONS without their prefix: "MINIMIZE", "CLOSE", ...
    QStringList allowedActions(xcb_window_t window);
    bool isViewable(xcb_window_t window);
    // The top-level windows the window manager manages (_NET_CLIENT_LIST).
    QList<xcb_window_t> clients();
    // The program's name in WM_CLASS (its instance part).
    QString programName(xcb_window_t window);

    // The window manager's close request (_NET_CLOSE_WINDOW to the root window) and the
    // client's own (WM_DELETE_WINDOW), as a click on the frame's close button sends them.
    void requestClose(xcb_window_t window);

private:
    xcb_atom_t atom(const char* name);
    QByteArray property(xcb_window_t window, const char* name, xcb_atom_t type);

    xcb_connection_t* connection_;
    xcb_window_t root_;
};

}  // namespace pelion::test
