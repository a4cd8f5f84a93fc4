#include "app/status_file.hpp"

#include <string>

#include "app/ini_file.hpp"

namespace thq::app {

std::filesystem::path statusFilePath(const std::filesystem::path& executableFolder) {
    return executableFolder / kStatusFileName;
}

void writeTransformStatus(const std::filesystem::path& statusFile, std::int32_t status) {
    writeIniValue(statusFile, kStatusSection, kStatusKey, std::to_string(status));
}

}  // namespace thq::app
