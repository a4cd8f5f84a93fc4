#include "app/host_window_size.hpp"

namespace thq::app {

std::optional<QSize> hostClientSize(std::uint32_t) { return std::nullopt; }

std::optional<bool> hostWindowExists(std::uint32_t) { return std::nullopt; }

}  // namespace thq::app
