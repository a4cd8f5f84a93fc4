// Holds that POSIX programs take: open-file-description locks and classic record locks.
#include <fcntl.h>
#include <unistd.h>

#include "file_holder.hpp"

namespace thq::test::holder {

std::vector<std::string> platformHolds() { return {"ofd-write", "ofd-read", "record-write"}; }

// Our engine's shared open takes a read lock on POSIX.
std::vector<std::string> platformReaderHolds() { return {"table-shared", "ofd-read"}; }

bool takePlatformHold(const std::string& hold, const std::filesystem::path& file) {
    const bool write = hold != "ofd-read";
    const int descriptor = ::open(file.c_str(), write ? O_RDWR : O_RDONLY);
    if (descriptor < 0) return false;
    struct flock lock {};
    lock.l_type = write ? F_WRLCK : F_RDLCK;
    lock.l_whence = SEEK_SET;
    // The descriptor stays open until the process ends.
    return ::fcntl(descriptor, hold == "record-write" ? F_SETLK : F_OFD_SETLK, &lock) == 0;
}

}  // namespace thq::test::holder
