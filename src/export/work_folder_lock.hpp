#pragma once
// One export at a time per work folder: a second export started while one runs ends at once
// with an error instead of racing it to replace the tables.
#include <filesystem>

#include "data/platform_file.hpp"

namespace thq::exporter {

class WorkFolderLock {
public:
    explicit WorkFolderLock(const std::filesystem::path& workFolder);

private:
    static platform::FolderLock claim(const std::filesystem::path& workFolder);
    platform::FolderLock lock_;
};

}  // namespace thq::exporter
