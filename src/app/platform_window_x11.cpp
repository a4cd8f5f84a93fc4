// Under X11 the host is asked through the application's own xcb connection; on any other
// platform plugin (Wayland, offscreen) there is no size to ask for.
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>

#include "app/host_window_size.hpp"

namespace thq::app {

std::optional<QSize> hostClientSize(std::uint32_t hostHandle) {
    const auto* x11 = qGuiApp != nullptr
                          ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                          : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr) return std::nullopt;
    xcb_connection_t* connection = x11->connection();
    xcb_get_geometry_reply_t* reply =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, hostHandle), nullptr);
    if (reply == nullptr) return std::nullopt;
    const QSize size(reply->width, reply->height);
    std::free(reply);
    return size;
}

}  // namespace thq::app
