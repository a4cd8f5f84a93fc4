// The platform file adapter for POSIX systems (Linux first).
//
// Share modes are open-file-description locks on the whole file: an exclusive holder takes a
// write lock, a shared holder a read lock. Unlike classic fcntl locks they belong to the open
// file, so two table objects of the same process conflict just like two processes do.
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <utility>
#include <vector>

#include "data/error.hpp"
#include "data/fault_injection.hpp"
#include "data/platform_file.hpp"
#include "data/platform_file_common.hpp"

namespace thq::platform {
namespace {

// Counts one mutating call for the fault injector of test builds: the error number it
// must fail with, or 0.
int injectedFault(testing::CallKind kind, const std::filesystem::path& subject) {
    return detail::countCall(kind, subject);
}

[[noreturn]] void fail(const std::filesystem::path& path, const std::string& problem) {
    throw Error(ErrorKind::InputOutput, fileMessage(displayPath(path), problem));
}

[[noreturn]] void failErrno(const std::filesystem::path& path, const std::string& action,
                            int error) {
    fail(path, action + ": " + systemErrorText(static_cast<std::uint32_t>(error)));
}

int fd(std::intptr_t native) { return static_cast<int>(native); }

bool folderExists(const std::filesystem::path& path) {
    auto parent = path.parent_path();
    return parent.empty() || isDirectory(parent);
}

// The message for a failed open or create of `path`.
[[noreturn]] void failOpen(const std::filesystem::path& path, const std::string& action,
                           int error) {
    if (error == ENOENT || error == ENOTDIR) {
        if (!folderExists(path)) fail(path, "la carpeta no existe");
        fail(path, "el archivo no existe");
    }
    if (error == EISDIR) fail(path, "es una carpeta, no un archivo");
    failErrno(path, action, error);
}

// Takes the share-mode lock on an open descriptor; false when someone else holds a
// conflicting one.
bool lockShareMode(int descriptor, ShareMode share, const std::filesystem::path& path) {
#ifdef F_OFD_SETLK
    struct flock lock {};
    // A rename never conflicts with a lock here, so a movable hold is an exclusive one; a
    // reader's hold is a read lock, which conflicts with every write lock.
    lock.l_type = share == ShareMode::Shared || share == ShareMode::NoWriters ? F_RDLCK : F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;  // the whole file, however it grows
    lock.l_pid = 0;
    while (::fcntl(descriptor, F_OFD_SETLK, &lock) != 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EACCES) return false;
        failErrno(path, "no se puede bloquear", errno);
    }
    return true;
#else
    // flock() locks also belong to the open file on the BSDs and macOS.
    const bool reader = share == ShareMode::Shared || share == ShareMode::NoWriters;
    int operation = (reader ? LOCK_SH : LOCK_EX) | LOCK_NB;
    while (::flock(descriptor, operation) != 0) {
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK) return false;
        failErrno(path, "no se puede bloquear", errno);
    }
    return true;
#endif
}

void closeQuietly(int descriptor) {
    if (descriptor >= 0) ::close(descriptor);
}

// Writes all n bytes at offset; returns 0 or the errno of the failure.
int writeAllAt(int descriptor, std::uint64_t offset, const char* data, std::size_t n) {
    while (n > 0) {
        ssize_t written = ::pwrite(descriptor, data, n, static_cast<off_t>(offset));
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (written == 0) return ENOSPC;
        data += written;
        n -= static_cast<std::size_t>(written);
        offset += static_cast<std::uint64_t>(written);
    }
    return 0;
}

int fsyncRetrying(int descriptor) {
    while (::fsync(descriptor) != 0) {
        if (errno == EINTR) continue;
        return errno;
    }
    return 0;
}

}  // namespace

File File::open(const std::filesystem::path& path, OpenIntent intent, ShareMode share) {
    // O_NONBLOCK: opening a pipe for reading would otherwise wait for a writer; it is refused
    // below as not a regular file, and the flag is cleared again for a file.
    int flags = (intent == OpenIntent::ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK;
    if (intent == OpenIntent::ReadWrite) {
        if (int error = injectedFault(testing::CallKind::OpenForWrite, path); error != 0)
            failOpen(path, "no se puede abrir", error);
    }
    int descriptor;
    do {
        descriptor = ::open(path.c_str(), flags);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) failOpen(path, "no se puede abrir", errno);

    struct stat info {};
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        closeQuietly(descriptor);
        // The same words as on Windows for a folder; anything else that is no regular file
        // (a device, a pipe) is named as such.
        fail(path, S_ISDIR(info.st_mode) ? "es una carpeta, no un archivo" : "no es un archivo");
    }
    try {
        const int status = ::fcntl(descriptor, F_GETFL);
        if (status < 0 || ::fcntl(descriptor, F_SETFL, status & ~O_NONBLOCK) != 0) {
            failErrno(path, "no se puede abrir", errno);
        }
        if (!lockShareMode(descriptor, share, path)) throw inUseError(displayPath(path));
    } catch (...) {
        closeQuietly(descriptor);
        throw;
    }
    File file;
    file.path_ = path;
    file.native_ = descriptor;
    return file;
}

File File::create(const std::filesystem::path& path, ShareMode share) {
    // No O_TRUNC: the file is emptied only once the lock shows no one else holds it.
    if (int error = injectedFault(testing::CallKind::Create, path); error != 0)
        failOpen(path, "no se puede crear", error);
    int descriptor;
    do {
        descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) failOpen(path, "no se puede crear", errno);

    File file;
    file.path_ = path;
    file.native_ = descriptor;
    struct stat info {};
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) fail(path, "no es un archivo");
    if (!lockShareMode(descriptor, share, path)) throw inUseError(displayPath(path));
    file.truncate(0);
    return file;
}

bool File::isOpen() const noexcept { return native_ >= 0; }

std::uint64_t File::size() const {
    struct stat info {};
    if (::fstat(fd(native_), &info) != 0) failErrno(path_, "no se puede leer", errno);
    return static_cast<std::uint64_t>(info.st_size);
}

std::size_t File::readAt(std::uint64_t offset, void* buffer, std::size_t n) const {
    auto* out = static_cast<char*>(buffer);
    std::size_t total = 0;
    while (total < n) {
        ssize_t got =
            ::pread(fd(native_), out + total, n - total, static_cast<off_t>(offset + total));
        if (got < 0) {
            if (errno == EINTR) continue;
            failErrno(path_, "no se puede leer", errno);
        }
        if (got == 0) break;  // end of file
        total += static_cast<std::size_t>(got);
    }
    return total;
}

void File::writeAt(std::uint64_t offset, const void* buffer, std::size_t n) {
    if (int error = injectedFault(testing::CallKind::Write, path_); error != 0)
        failErrno(path_, "no se puede escribir", error);
    int error = writeAllAt(fd(native_), offset, static_cast<const char*>(buffer), n);
    if (error != 0) failErrno(path_, "no se puede escribir", error);
}

void File::truncate(std::uint64_t size) {
    if (int error = injectedFault(testing::CallKind::Truncate, path_); error != 0)
        failErrno(path_, "no se puede escribir", error);
    while (::ftruncate(fd(native_), static_cast<off_t>(size)) != 0) {
        if (errno == EINTR) continue;
        failErrno(path_, "no se puede escribir", errno);
    }
}

void File::flushToDisk() {
    int error = injectedFault(testing::CallKind::FlushFile, path_);
    if (error == 0) error = fsyncRetrying(fd(native_));
    if (error != 0) failErrno(path_, "no se puede guardar en disco", error);
}

void File::close() {
    // Closing releases the lock with the open file description.
    if (native_ >= 0) ::close(fd(native_));
    native_ = -1;
}

bool fileExists(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool pathExists(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

bool isDirectory(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool removeFileQuietly(const std::filesystem::path& path) {
    if (injectedFault(testing::CallKind::Remove, path) != 0) return false;
    return ::unlink(path.c_str()) == 0;
}

void renameReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    int error = injectedFault(testing::CallKind::Rename, from);
    if (error == 0 && ::rename(from.c_str(), to.c_str()) != 0) error = errno;
    if (error != 0) {
        fail(from, "no se puede renombrar a " + displayPath(to) + ": " +
                       systemErrorText(static_cast<std::uint32_t>(error)));
    }
}

namespace {

// Flushes a folder's entries; 0 or the error number. `subject` is what a failure is about.
int syncFolder(const std::filesystem::path& folder, const std::filesystem::path& subject) {
    if (int error = injectedFault(testing::CallKind::FlushFolder, subject); error != 0)
        return error;
    std::filesystem::path target = folder.empty() ? std::filesystem::path(".") : folder;
    int descriptor = ::open(target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) return errno;
    int error = fsyncRetrying(descriptor);
    ::close(descriptor);
    // Some file systems cannot flush a folder at all; their renames are as durable as they get.
    if (error == EINVAL || error == EROFS) return 0;
    return error;
}

}  // namespace

void flushFolder(const std::filesystem::path& folder) {
    std::filesystem::path target = folder.empty() ? std::filesystem::path(".") : folder;
    if (int error = syncFolder(target, target); error != 0) {
        failErrno(target, "no se puede guardar en disco", error);
    }
}

bool createFolder(const std::filesystem::path& folder) {
    int error = injectedFault(testing::CallKind::CreateFolder, folder);
    if (error == 0 && ::mkdir(folder.c_str(), 0777) == 0) return true;  // the umask decides
    if (error == 0) error = errno;
    if (error == EEXIST) return false;
    if (error == ENOENT || error == ENOTDIR) fail(folder, "la carpeta que la contiene no existe");
    failErrno(folder, "no se puede crear la carpeta", error);
}

void removeFolderTree(const std::filesystem::path& folder) {
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        if (errno == ENOENT) return;
        failErrno(folder, "no se puede borrar la carpeta", errno);
    }
    if (!S_ISDIR(info.st_mode)) {
        // A file or a symbolic link where the folder was: removed itself, never followed.
        int error = injectedFault(testing::CallKind::Remove, folder);
        if (error == 0 && ::unlink(folder.c_str()) != 0) error = errno;
        if (error != 0 && error != ENOENT) failErrno(folder, "no se puede borrar", error);
        return;
    }
    std::vector<std::filesystem::path> entries;
    if (DIR* listing = ::opendir(folder.c_str()); listing != nullptr) {
        while (const dirent* entry = ::readdir(listing)) {
            const std::string_view name = entry->d_name;
            if (name != "." && name != "..") entries.push_back(folder / std::string(name));
        }
        ::closedir(listing);
    } else {
        failErrno(folder, "no se puede leer la carpeta", errno);
    }
    for (const auto& entry : entries) removeFolderTree(entry);
    int error = injectedFault(testing::CallKind::RemoveFolder, folder);
    if (error == 0 && ::rmdir(folder.c_str()) != 0) error = errno;
    if (error != 0 && error != ENOENT) failErrno(folder, "no se puede borrar la carpeta", error);
}

bool removeEmptyFolder(const std::filesystem::path& folder) {
    if (injectedFault(testing::CallKind::RemoveFolder, folder) != 0) return false;
    return ::rmdir(folder.c_str()) == 0;
}

std::vector<FolderEntry> listFolder(const std::filesystem::path& folder) {
    std::vector<FolderEntry> entries;
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr) {
        if (errno == ENOENT || errno == ENOTDIR) fail(folder, "la carpeta no existe");
        failErrno(folder, "no se puede leer la carpeta", errno);
    }
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat info {};
        // lstat: a link is an entry of its own, never the folder it may point to.
        const bool isFolder =
            ::lstat((folder / std::string(name)).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        entries.push_back({std::string(name), isFolder});
    }
    ::closedir(listing);
    return entries;
}

namespace {

// Creates the temporary file of a StagedFile beside `target`, held exclusively; returns the
// descriptor and sets `temporary`.
int createTemporary(const std::filesystem::path& target, std::filesystem::path& temporary) {
    const std::filesystem::path folder = target.parent_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = folder / detail::temporaryFileName();
        // 0666: the user's umask decides the permissions, as for any file saved here.
        if (int error = injectedFault(testing::CallKind::Create, target); error != 0) {
            failErrno(target, "no se puede escribir", error);
        }
        const int descriptor =
            ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor < 0) {
            if (errno == EEXIST || errno == EINTR) continue;
            failErrno(target, "no se puede escribir", errno);
        }
        // Held from here on. A cleanup that found the file in the instant before the lock and
        // removed it as abandoned leaves it without a name: then another name is tried.
        struct stat info {};
        bool held = false;
        try {
            held = lockShareMode(descriptor, ShareMode::Exclusive, temporary);
        } catch (...) {
            ::unlink(temporary.c_str());
            closeQuietly(descriptor);
            throw;
        }
        if (held && ::fstat(descriptor, &info) == 0 && info.st_nlink > 0) return descriptor;
        closeQuietly(descriptor);
    }
    fail(target, "no se puede crear un archivo temporal");
}

}  // namespace

StagedFile::StagedFile(const std::filesystem::path& target) : target_(target) {
    const std::filesystem::path folder = target.parent_path();
    if (!folder.empty() && !isDirectory(folder)) fail(target, "la carpeta no existe");
    if (isDirectory(target)) fail(target, "no se puede escribir: es una carpeta, no un archivo");
    native_ = createTemporary(target, temporary_);
}

namespace {

// Gives up a staged file that could not be written: the temporary goes, the error is thrown.
[[noreturn]] void abandon(std::intptr_t& native, const std::filesystem::path& temporary,
                          const std::filesystem::path& target, int error) {
    ::unlink(temporary.c_str());
    closeQuietly(fd(native));
    native = -1;
    failErrno(target, "no se puede escribir", error);
}

}  // namespace

void StagedFile::append(std::string_view bytes) {
    if (native_ < 0 || finished_) throw std::logic_error("StagedFile::append: not writable");
    // Each step counts as one call for the fault injector, named after the target.
    int error = injectedFault(testing::CallKind::Write, target_);
    if (error == 0) error = writeAllAt(fd(native_), size_, bytes.data(), bytes.size());
    if (error != 0) abandon(native_, temporary_, target_, error);
    size_ += bytes.size();
}

void StagedFile::finish() {
    if (native_ < 0) throw std::logic_error("StagedFile::finish: nothing to finish");
    if (finished_) return;
    int error = injectedFault(testing::CallKind::FlushFile, target_);
    if (error == 0) error = fsyncRetrying(fd(native_));  // on disk before it takes the name
    if (error != 0) abandon(native_, temporary_, target_, error);
    finished_ = true;
}

StagedFile::~StagedFile() {
    if (native_ < 0) return;
    ::unlink(temporary_.c_str());
    closeQuietly(fd(native_));
}

void StagedFile::commit() {
    if (native_ < 0) throw std::logic_error("StagedFile::commit: nothing to commit");
    finish();
    // Renamed while still held: no cleanup can take the file between the two.
    int error = injectedFault(testing::CallKind::Rename, target_);
    if (error == 0 && ::rename(temporary_.c_str(), target_.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporary_.c_str());
        closeQuietly(fd(native_));
        native_ = -1;
        failErrno(target_, "no se puede escribir", error);
    }
    closeQuietly(fd(native_));
    native_ = -1;
    // The new name on disk too: a power cut from here on leaves the new file.
    if (int flushError = syncFolder(target_.parent_path(), target_); flushError != 0) {
        failErrno(target_, "no se puede guardar en disco", flushError);
    }
}

bool removeAbandonedFile(const std::filesystem::path& file) {
    if (injectedFault(testing::CallKind::Remove, file) != 0) return false;
    int descriptor;
    do {
        descriptor = ::open(file.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) return false;
    bool removed = false;
    try {
        // Removed while held, so no writer can take it up meanwhile.
        if (lockShareMode(descriptor, ShareMode::Exclusive, file)) {
            removed = ::unlink(file.c_str()) == 0;
        }
    } catch (const Error&) {
    }
    closeQuietly(descriptor);
    return removed;
}

std::filesystem::path temporaryFolder() {
    const char* variable = std::getenv("TMPDIR");
    if (variable == nullptr || *variable == '\0') {
        std::filesystem::path fallback("/tmp");
        if (!isDirectory(fallback)) fail(fallback, "la carpeta temporal no existe");
        return fallback;
    }
    std::filesystem::path folder(variable);
    if (!isDirectory(folder)) {
        fail(folder, "la carpeta temporal (variable de entorno TMPDIR) no existe");
    }
    return folder;
}

std::string displayPath(const std::filesystem::path& path) {
    std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}

std::filesystem::path defaultWorkFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') return std::filesystem::path(home) / "HTEMP";
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir) {
        return std::filesystem::path(entry->pw_dir) / "HTEMP";
    }
    return std::filesystem::path("/tmp") / "HTEMP";
}

CalendarDate localToday() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (::localtime_r(&now, &local) == nullptr) return {};
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

}  // namespace thq::platform

namespace thq::platform {

// flock() on the folder itself: the lock belongs to this open folder, so a second claim
// conflicts also within one process, and nothing has to be created in the work folder.
FolderLock::FolderLock(const std::filesystem::path& folder) {
    int descriptor;
    do {
        descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        if (errno == ENOENT || errno == ENOTDIR) fail(folder, "la carpeta no existe");
        failErrno(folder, "no se puede abrir la carpeta", errno);
    }
    while (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EINTR) continue;
        ::close(descriptor);
        if (error == EWOULDBLOCK) throw inUseError(displayPath(folder));
        failErrno(folder, "no se puede bloquear la carpeta", error);
    }
    native_ = descriptor;
}

FolderLock::~FolderLock() {
    if (native_ >= 0) ::close(static_cast<int>(native_));
}

}  // namespace thq::platform

namespace thq::platform {

std::string systemErrorText(std::uint32_t code) {
    switch (static_cast<int>(code)) {
        case ENOENT:
            return "no existe el archivo o la carpeta";
        case EACCES:
            return "permiso denegado";
        case EPERM:
            return "operación no permitida";
        case EROFS:
            return "el sistema de archivos es de solo lectura";
        case ENOSPC:
            return "no queda espacio en el disco";
        case EDQUOT:
            return "se ha superado la cuota de disco";
        case EBUSY:
        case ETXTBSY:
            return "está en uso";
        case EIO:
            return "error de entrada/salida";
        case EMFILE:
        case ENFILE:
            return "hay demasiados archivos abiertos";
        case ENAMETOOLONG:
            return "el nombre es demasiado largo";
        case ENOTDIR:
            return "una parte de la ruta no es una carpeta";
        case EISDIR:
            return "es una carpeta";
        case EEXIST:
            return "ya existe";
        case ENOTEMPTY:
            return "la carpeta no está vacía";
        case EXDEV:
            return "no se puede mover a otro disco o sistema de archivos";
        case ELOOP:
            return "la ruta tiene demasiados enlaces simbólicos";
        case EFBIG:
            return "el archivo es demasiado grande";
        case ENOMEM:
            return "no queda memoria suficiente";
        case EINVAL:
            return "argumento no válido";
        case ENXIO:
        case ENODEV:
            return "el dispositivo no está disponible";
        case EAGAIN:
            return "el recurso no está disponible ahora";
        case ENOLCK:
            return "no quedan bloqueos disponibles";
        case ESTALE:
            return "el archivo ya no existe en el servidor";
        case ETIMEDOUT:
            return "se agotó el tiempo de espera";
        default:
            break;
    }
    // Anything rarer in the system's own words (those of the user's language where the
    // system has them), with its number, which is what a search for it needs.
    const char* text = std::strerror(static_cast<int>(code));
    if (text == nullptr || *text == '\0') return "error " + std::to_string(code);
    return std::string(text) + " (error " + std::to_string(code) + ")";
}

}  // namespace thq::platform
