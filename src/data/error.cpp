#include "data/error.hpp"

#include <utility>

#include "data/text.hpp"

namespace thq {

std::string fileMessage(const std::string& pathUtf8, const std::string& problem) {
    return pathUtf8 + ": " + problem;
}

Error fileError(ErrorKind kind, const std::string& pathUtf8, const std::string& problem,
                std::string detail) {
    return {kind, fileMessage(pathUtf8, problem), std::move(detail)};
}

Error conversionError(const std::string& refusedTextUtf8, std::string detail) {
    return {ErrorKind::Conversion, text::quoted(refusedTextUtf8) + " no es un valor entero válido",
            std::move(detail), refusedTextUtf8};
}

Error inUseError(const std::string& pathUtf8) {
    return fileError(ErrorKind::InUse, pathUtf8, "está en uso por otro programa");
}

Error outOfMemoryError(const std::string& purpose) {
    return {ErrorKind::OutOfMemory, "No hay memoria suficiente para " + purpose};
}

}  // namespace thq
