// Embedding through Qt's foreign windows: the host handle becomes a QWindow that parents
// the main window's native window. Works wherever the platform plugin adopts foreign
// windows (Windows, X11); Wayland has no window ids to adopt.
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>

#include "app/host_window_size.hpp"
#include "app/platform_window.hpp"

namespace thq::app {
namespace {

bool platformAdoptsForeignWindows() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("windows") || platform == QLatin1String("xcb");
}

class ForeignWindowEmbedder final : public WindowEmbedder {
public:
    EmbedResult embed(QWidget& window, std::uint32_t hostHandle) override {
        const QString platform = QGuiApplication::platformName();
        if (!platformAdoptsForeignWindows()) {
            if (platform.startsWith(QLatin1String("wayland"))) {
                return {false,
                        "La ventana no puede mostrarse dentro del programa de horarios en una "
                        "sesión Wayland; se muestra aparte. Para verla dentro, inicie el "
                        "programa con la variable QT_QPA_PLATFORM=xcb."};
            }
            return {false, {}};
        }
        // A handle that names no window leaves the window stand-alone, framed and on the
        // screen, rather than inside nothing where no one could see or close it.
        if (hostWindowExists(hostHandle) == false) return {false, {}};
        host_.reset(QWindow::fromWinId(static_cast<WId>(hostHandle)));
        if (!host_) return {false, {}};
        window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        window.winId();  // the native window, created now so the host is its parent from the start
        QWindow* own = window.windowHandle();
        if (own == nullptr) return {false, {}};
        own->setParent(host_.get());
        // The window keeps its size and stands centred in the host's client area; when the
        // window system cannot tell that area's size, the screen-centred position is taken
        // as counted within the host.
        const QSize area =
            hostClientSize(hostHandle)
                .value_or(window.screen() != nullptr ? window.screen()->geometry().size()
                                                     : QSize());
        window.move(std::max(0, (area.width() - window.width()) / 2),
                    std::max(0, (area.height() - window.height()) / 2));
        return {true, {}};
    }

    std::optional<bool> hostStillExists(std::uint32_t hostHandle) override {
        return hostWindowExists(hostHandle);
    }

private:
    std::unique_ptr<QWindow> host_;
};

}  // namespace

std::unique_ptr<WindowEmbedder> makePlatformEmbedder() {
    return std::make_unique<ForeignWindowEmbedder>();
}

}  // namespace thq::app
