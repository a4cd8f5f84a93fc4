#pragma once
// The two run modes as the command line selects them. Exactly two parameters select hosted
// mode: the direction ("exportar" or "importar", ASCII letters in any case) and the host
// window's handle in hexadecimal digits without prefix.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace thq::app {

enum class Direction { None, Export, Import };

// The run that parameter 1 asks for: lower-cased (A to Z only, nothing else changes,
// spaces count) and compared with "importar" and "exportar".
Direction directionOf(std::string_view parameter);

// The run the show handler starts: none unless there are exactly two parameters.
Direction requestedRun(const std::vector<std::string>& parameters);

// The host window's handle: "$" put in front of parameter 2 and converted as any integer
// text, so one or more hexadecimal digits and nothing else, at most FFFFFFFF (leading
// zeros are free). Throws a Conversion thq::Error ("'$...' no es un valor entero válido").
// Parameters are UTF-8.
std::uint32_t hostHandleOf(std::string_view parameter);

// The host window when there are exactly two parameters; none otherwise. Throws as
// hostHandleOf.
std::optional<std::uint32_t> hostWindowOf(const std::vector<std::string>& parameters);

}  // namespace thq::app
