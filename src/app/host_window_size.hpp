#pragma once
// The size of a host window's client area, asked of the window system by its handle. One
// implementation per platform: platform_window_win32.cpp, platform_window_x11.cpp and
// platform_window_nosize.cpp for systems that cannot tell.
#include <QSize>
#include <cstdint>
#include <optional>

namespace thq::app {

std::optional<QSize> hostClientSize(std::uint32_t hostHandle);

}  // namespace thq::app
