#ifdef _WIN32
#include <windows.h>

#include "app/host_window_size.hpp"

namespace thq::app {

std::optional<QSize> hostClientSize(std::uint32_t hostHandle) {
    RECT client{};
    const HWND host = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(hostHandle));
    if (!GetClientRect(host, &client)) return std::nullopt;
    return QSize(client.right - client.left, client.bottom - client.top);
}

}  // namespace thq::app
#endif  // _WIN32
