#pragma once
// A host window asked of the window system by its handle, for the Qt window (Linux; Windows
// has its native window): platform_window_x11.cpp, and platform_window_nosize.cpp for
// systems that cannot tell.
#include <QSize>
#include <cstdint>
#include <optional>

namespace thq::app {

// The size of its client area.
std::optional<QSize> hostClientSize(std::uint32_t hostHandle);
// Whether a window of that handle exists.
std::optional<bool> hostWindowExists(std::uint32_t hostHandle);

}  // namespace thq::app
