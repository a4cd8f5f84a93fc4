#pragma once
// Hosted mode's platform adapter: makes the main window a borderless child of the host
// window that the timetable program names by its handle (an HWND on Windows, an X11
// window id under X11).
#include <cstdint>
#include <memory>
#include <optional>

#include "app/form_view.hpp"

class QWidget;

namespace thq::app {

class WindowEmbedder {
public:
    virtual ~WindowEmbedder() = default;
    // Called once from the window's creation handler, before the window is shown. A handle
    // that names no window leaves the window stand-alone, with its frame.
    virtual EmbedResult embed(QWidget& window, std::uint32_t hostHandle) = 0;
    // Whether the host window is still there; none where the window system cannot tell. The
    // embedded window watches it, so that the tool ends with its host instead of living on
    // unseen.
    virtual std::optional<bool> hostStillExists(std::uint32_t hostHandle) = 0;
};

// The embedder for the platform the application runs on. It must outlive the window.
std::unique_ptr<WindowEmbedder> makePlatformEmbedder();

}  // namespace thq::app
