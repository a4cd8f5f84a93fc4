// Holds that Windows programs take: an open handle whose share mode lets no one, readers,
// or everyone else in, and a reader's handle that lets only other readers in. Each keeps our
// exclusive opens out.
#include <windows.h>

#include "file_holder.hpp"

namespace thq::test::holder {

std::vector<std::string> platformHolds() {
    return {"share-none", "share-read", "share-all", "reader-share-read"};
}

// Our engine's shared open may write on Windows, so only the reading handle is a reader's.
std::vector<std::string> platformReaderHolds() { return {"reader-share-read"}; }

bool takePlatformHold(const std::string& hold, const std::filesystem::path& file) {
    DWORD share = 0;
    DWORD access = GENERIC_READ | GENERIC_WRITE;
    if (hold == "share-read") {
        share = FILE_SHARE_READ;
    } else if (hold == "share-all") {
        share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    } else if (hold == "reader-share-read") {
        share = FILE_SHARE_READ;
        access = GENERIC_READ;
    } else if (hold != "share-none") {
        return false;
    }
    // The handle stays open until the process ends.
    const HANDLE handle = CreateFileW(file.c_str(), access, share, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle != INVALID_HANDLE_VALUE;
}

}  // namespace thq::test::holder
