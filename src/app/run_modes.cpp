#include "app/run_modes.hpp"

#include "data/text.hpp"

namespace thq::app {

Direction directionOf(std::string_view parameter) {
    const std::string lowered = text::lowerAscii(parameter);
    if (lowered == "importar") return Direction::Import;
    if (lowered == "exportar") return Direction::Export;
    return Direction::None;
}

Direction requestedRun(const std::vector<std::string>& parameters) {
    if (parameters.size() != 2) return Direction::None;
    return directionOf(parameters[0]);
}

std::uint32_t hostHandleOf(std::string_view parameter) {
    // Built by appending: GCC 12 reports a false -Wrestrict for "$" + std::string(...).
    std::string withPrefix(1, '$');
    withPrefix += parameter;
    return static_cast<std::uint32_t>(text::toInt32(text::utf8ToCp1252(withPrefix)));
}

std::optional<std::uint32_t> hostWindowOf(const std::vector<std::string>& parameters) {
    if (parameters.size() != 2) return std::nullopt;
    return hostHandleOf(parameters[1]);
}

}  // namespace thq::app
