#include "data/work_folder.hpp"

#include <cstdlib>

#include "data/platform_file.hpp"

namespace thq::data {

std::filesystem::path resolveWorkFolder(const std::optional<std::filesystem::path>& given) {
    if (given && !given->empty()) return *given;
    if (const char* env = std::getenv("HTEMP"); env != nullptr && *env != '\0') {
        return std::filesystem::path(env);
    }
    return platform::defaultWorkFolder();
}

}  // namespace thq::data
