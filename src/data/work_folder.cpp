#include "data/work_folder.hpp"

#include <cstdlib>

#include "data/error.hpp"
#include "data/platform_file.hpp"
#include "data/platform_process.hpp"

namespace thq::data {

std::filesystem::path resolveWorkFolder(const std::optional<std::filesystem::path>& given) {
    if (given && !given->empty()) return *given;
    if (auto env = platform::environmentPath("HTEMP")) return *env;
    return platform::defaultWorkFolder();
}

void requireWorkFolder(const std::filesystem::path& folder) {
    if (platform::isDirectory(folder)) return;
    const std::string shown = platform::displayPath(folder);
    if (platform::pathExists(folder)) {
        throw Error(ErrorKind::InputOutput,
                    fileMessage(shown,
                                "es un archivo, no una carpeta: la carpeta de trabajo "
                                "tiene que ser una carpeta"));
    }
    throw Error(ErrorKind::InputOutput, fileMessage(shown, "la carpeta de trabajo no existe"));
}

}  // namespace thq::data
