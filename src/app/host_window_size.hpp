#pragma once
// The size of a host window's client area, asked of the window system by its handle, for
// the Qt window (Linux; Windows has its native window): platform_window_x11.cpp, and
// platform_window_nosize.cpp for systems that cannot tell.
#include <QSize>
#include <cstdint>
#include <optional>

namespace thq::app {

std::optional<QSize> hostClientSize(std::uint32_t hostHandle);

}  // namespace thq::app
