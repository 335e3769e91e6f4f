// X11: the Motif window manager hints (_MOTIF_WM_HINTS), which window managers read for the
// decorations and the functions they offer. Without an X11 connection (the offscreen platform)
// there is no frame and nothing to do.
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "ui/frame_buttons.h"

namespace pelion {

namespace {

// Field and bit values of the Motif hints, as window managers read them.
constexpr std::uint32_t cMWM_HINTS_FUNCTIONS = 1u << 0;
constexpr std::uint32_t cMWM_HINTS_DECORATIONS = 1u << 1;
constexpr std::uint32_t cMWM_FUNC_RESIZE = 1u << 1;
constexpr std::uint32_t cMWM_FUNC_MOVE = 1u << 2;
constexpr std::uint32_t cMWM_FUNC_MINIMIZE = 1u << 3;
constexpr std::uint32_t cMWM_FUNC_MAXIMIZE = 1u << 4;
constexpr std::uint32_t cMWM_DECOR_BORDER = 1u << 1;
constexpr std::uint32_t cMWM_DECOR_RESIZEH = 1u << 2;
constexpr std::uint32_t cMWM_DECOR_TITLE = 1u << 3;
constexpr std::uint32_t cMWM_DECOR_MINIMIZE = 1u << 5;
constexpr std::uint32_t cMWM_DECOR_MAXIMIZE = 1u << 6;

struct MotifHints {
    std::uint32_t functions;
    std::uint32_t decorations;
};

// Neither window offers to close. The message window has a fixed dialog border; the report
// window a sizeable one (window managers offer no maximise for a window they may not resize).
MotifHints hintsFor(FrameButtons buttons) {
    switch (buttons) {
        case FrameButtons::none:
            return {cMWM_FUNC_MOVE, cMWM_DECOR_BORDER | cMWM_DECOR_TITLE};
        case FrameButtons::minimiseAndMaximise:
            return {cMWM_FUNC_MOVE | cMWM_FUNC_RESIZE | cMWM_FUNC_MINIMIZE | cMWM_FUNC_MAXIMIZE,
                    cMWM_DECOR_BORDER | cMWM_DECOR_RESIZEH | cMWM_DECOR_TITLE |
                        cMWM_DECOR_MINIMIZE | cMWM_DECOR_MAXIMIZE};
    }
    return {};
}

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return result;
}

}  // namespace

void setFrameButtons(quintptr window, FrameButtons buttons) {
    // Other platforms (offscreen) may offer the X11 interface too, without an xcb connection.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (QGuiApplication::platformName() != "xcb" || x11 == nullptr ||
        x11->connection() == nullptr) {
        return;
    }
    xcb_connection_t* connection = x11->connection();
    const xcb_atom_t motifHints = atom(connection, "_MOTIF_WM_HINTS");
    if (motifHints == XCB_ATOM_NONE) {
        return;
    }
    const MotifHints hints = hintsFor(buttons);
    // flags, functions, decorations, input mode, status
    const std::array<std::uint32_t, 5> value{cMWM_HINTS_FUNCTIONS | cMWM_HINTS_DECORATIONS,
                                             hints.functions, hints.decorations, 0, 0};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window),
                        motifHints, motifHints, 32, static_cast<std::uint32_t>(value.size()),
                        value.data());
    xcb_flush(connection);
}

}  // namespace pelion
