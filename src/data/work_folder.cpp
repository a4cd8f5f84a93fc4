#include "data/work_folder.hpp"

#include "data/platform_file.hpp"
#include "data/platform_process.hpp"

namespace thq::data {

std::filesystem::path resolveWorkFolder(const std::optional<std::filesystem::path>& given) {
    if (given && !given->empty()) return *given;
    if (auto env = platform::environmentPath("HTEMP")) return *env;
    return platform::defaultWorkFolder();
}

}  // namespace thq::data
