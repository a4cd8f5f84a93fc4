// Under X11 the host is asked through the application's own xcb connection; on any other
// platform plugin (Wayland, offscreen) there is nothing to ask.
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>

#include "app/host_window_size.hpp"

namespace thq::app {
namespace {

// The application's own connection to the X server; none on other platform plugins.
xcb_connection_t* applicationConnection() {
    const auto* x11 = qGuiApp != nullptr
                          ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                          : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

}  // namespace

std::optional<QSize> hostClientSize(std::uint32_t hostHandle) {
    xcb_connection_t* connection = applicationConnection();
    if (connection == nullptr) return std::nullopt;
    xcb_get_geometry_reply_t* reply =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, hostHandle), nullptr);
    if (reply == nullptr) return std::nullopt;
    const QSize size(reply->width, reply->height);
    std::free(reply);
    return size;
}

std::optional<bool> hostWindowExists(std::uint32_t hostHandle) {
    xcb_connection_t* connection = applicationConnection();
    if (connection == nullptr) return std::nullopt;
    // The error is taken here rather than left to Qt, which would print a window that has
    // gone as an X error on the console.
    xcb_generic_error_t* error = nullptr;
    xcb_get_window_attributes_reply_t* reply = xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, hostHandle), &error);
    if (reply != nullptr) {
        std::free(reply);
        return true;
    }
    if (error == nullptr) return std::nullopt;  // the connection itself has failed
    const bool noSuchWindow = error->error_code == XCB_WINDOW;
    std::free(error);
    if (noSuchWindow) return false;
    return std::nullopt;
}

}  // namespace thq::app
