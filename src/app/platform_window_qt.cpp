// Embedding through Qt's foreign windows: the host handle becomes a QWindow that parents
// the main window's native window. Works wherever the platform plugin adopts foreign
// windows (Windows, X11); Wayland has no window ids to adopt.
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <algorithm>

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
        host_.reset(QWindow::fromWinId(static_cast<WId>(hostHandle)));
        if (!host_) return {false, {}};
        window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        window.winId();  // the native window, created now so the host is its parent from the start
        QWindow* own = window.windowHandle();
        if (own == nullptr) return {false, {}};
        own->setParent(host_.get());
        // The window keeps its size and stands centred in the host's client area.
        const QSize hostSize = host_->size();
        const int x = std::max(0, (hostSize.width() - window.width()) / 2);
        const int y = std::max(0, (hostSize.height() - window.height()) / 2);
        window.move(x, y);
        return {true, {}};
    }

private:
    std::unique_ptr<QWindow> host_;
};

}  // namespace

std::unique_ptr<WindowEmbedder> makePlatformEmbedder() {
    return std::make_unique<ForeignWindowEmbedder>();
}

}  // namespace thq::app
