#include "export/work_folder_lock.hpp"

#include "data/error.hpp"
#include "data/work_folder.hpp"

namespace thq::exporter {

WorkFolderLock::WorkFolderLock(const std::filesystem::path& workFolder)
    : lock_(claim(workFolder)) {}

platform::FolderLock WorkFolderLock::claim(const std::filesystem::path& workFolder) {
    data::requireWorkFolder(workFolder);
    try {
        return platform::FolderLock(workFolder);
    } catch (const Error& error) {
        if (error.kind() != ErrorKind::InUse) throw;
        throw Error(ErrorKind::InUse,
                    fileMessage(platform::displayPath(workFolder),
                                "otra exportación está en marcha en esta carpeta de trabajo"),
                    error.what());
    }
}

}  // namespace thq::exporter
