#include "data/error.hpp"

#include <utility>

#include "data/text.hpp"

namespace thq {

ConversionError::ConversionError(const std::string& refusedTextUtf8, std::string detail)
    : Error(text::quoted(refusedTextUtf8) + " no es un valor entero válido", std::move(detail)),
      refused_(refusedTextUtf8) {}

InUseError::InUseError(const std::string& pathUtf8)
    : Error(fileMessage(pathUtf8, "está en uso por otro programa")) {}

std::string fileMessage(const std::string& pathUtf8, const std::string& problem) {
    return pathUtf8 + ": " + problem;
}

}  // namespace thq
