#include "tests/desktop/x_probe.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace pelion::test {

namespace {
constexpr std::uint32_t cLONG_PROPERTY = 1024;
}

XProbe::XProbe() : connection_(xcb_connect(nullptr, nullptr)) {
    if (xcb_connection_has_error(connection_)) {
        xcb_disconnect(connection_);
        throw std::runtime_error("no X display");
    }
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
}

XProbe::~XProbe() {
    xcb_disconnect(connection_);
}

xcb_atom_t XProbe::atom(const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection_,
        xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return result;
}

QByteArray XProbe::property(xcb_window_t window, const char* name, xcb_atom_t type) {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, window, atom(name), type, 0, cLONG_PROPERTY),
        nullptr);
    QByteArray value;
    if (reply != nullptr) {
        value = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                           xcb_get_property_value_length(reply));
    }
    std::free(reply);
    return value;
}

QString XProbe::caption(xcb_window_t window) {
    return QString::fromUtf8(property(window, "_NET_WM_NAME", atom("UTF8_STRING")));
}

QString XProbe::iconName(xcb_window_t window) {
    return QString::fromUtf8(property(window, "_NET_WM_ICON_NAME", atom("UTF8_STRING")));
}

std::optional<FrameExtents> XProbe::frameExtents(xcb_window_t window) {
    const QByteArray value = property(window, "_NET_FRAME_EXTENTS", XCB_ATOM_CARDINAL);
    if (value.size() != 4 * sizeof(std::uint32_t)) {
        return std::nullopt;
    }
    std::uint32_t e[4];
    std::memcpy(e, value.constData(), sizeof e);
    return FrameExtents{int(e[0]), int(e[1]), int(e[2]), int(e[3])};
}

QRect XProbe::outerRect(xcb_window_t window) {
    const std::optional<FrameExtents> frame = frameExtents(window);
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr);
    xcb_translate_coordinates_reply_t* origin = xcb_translate_coordinates_reply(
        connection_, xcb_translate_coordinates(connection_, window, root_, 0, 0), nullptr);
    QRect outer;
    if (frame && geometry && origin) {
        outer = QRect(origin->dst_x - frame->left, origin->dst_y - frame->top,
                      geometry->width + frame->left + frame->right,
                      geometry->height + frame->top + frame->bottom);
    }
    std::free(geometry);
    std::free(origin);
    return outer;
}

QStringList XProbe::allowedActions(xcb_window_t window) {
    const QByteArray value = property(window, "_NET_WM_ALLOWED_ACTIONS", XCB_ATOM_ATOM);
    QStringList actions;
    for (qsizetype i = 0; i + 4 <= value.size(); i += 4) {
        xcb_atom_t action;
        std::memcpy(&action, value.constData() + i, sizeof action);
        xcb_get_atom_name_reply_t* reply =
            xcb_get_atom_name_reply(connection_, xcb_get_atom_name(connection_, action), nullptr);
        if (reply != nullptr) {
            QString name = QString::fromLatin1(xcb_get_atom_name_name(reply),
                                               xcb_get_atom_name_name_length(reply));
            actions << name.remove("_NET_WM_ACTION_");
        }
        std::free(reply);
    }
    return actions;
}

bool XProbe::isViewable(xcb_window_t window) {
    xcb_get_window_attributes_reply_t* reply = xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, window), nullptr);
    const bool viewable = reply != nullptr && reply->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(reply);
    return viewable;
}

QList<xcb_window_t> XProbe::clients() {
    const QByteArray value = property(root_, "_NET_CLIENT_LIST", XCB_ATOM_WINDOW);
    QList<xcb_window_t> windows;
    for (qsizetype i = 0; i + 4 <= value.size(); i += 4) {
        xcb_window_t window;
        std::memcpy(&window, value.constData() + i, sizeof window);
        windows << window;
    }
    return windows;
}

QString XProbe::programName(xcb_window_t window) {
    const QByteArray value = property(window, "WM_CLASS", XCB_ATOM_STRING);
    return QString::fromLatin1(value.left(value.indexOf('\0')));
}

void XProbe::requestClose(xcb_window_t window) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom("_NET_CLOSE_WINDOW");
    message.data.data32[1] = 2;  // the source is a pager or a user's direct action
    xcb_send_event(connection_, 0, root_,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));

    message.type = atom("WM_PROTOCOLS");
    message.data.data32[0] = atom("WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection_);
}

}  // namespace pelion::test
