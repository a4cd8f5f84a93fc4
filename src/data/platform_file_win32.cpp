// The platform file adapter for Windows.
//
// Share modes are the system's own: an exclusive holder opens with share mode 0, a shared
// holder lets others read and write. Positioned reads and writes go through OVERLAPPED
// offsets on a synchronous handle, so no file pointer is shared between callers.
#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cwchar>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "data/error.hpp"
#include "data/fault_injection.hpp"
#include "data/platform_file.hpp"
#include "data/platform_file_common.hpp"

namespace thq::platform {
namespace {

constexpr DWORD kMaxChunk = 1u << 30;  // one ReadFile/WriteFile call moves at most this

// Counts one mutating call for the fault injector of test builds: the system error code it
// must fail with (the injected error number as Windows reports it), or ERROR_SUCCESS.
DWORD injectedFault(testing::CallKind kind, const std::filesystem::path& subject) {
    const int error = detail::countCall(kind, subject);
    if (error == 0) return ERROR_SUCCESS;
    return error == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT;
}

// The portable classes keep a handle as a number, as a descriptor is on POSIX systems.
// NOLINTNEXTLINE(performance-no-int-to-ptr): the number is the handle it was made from
HANDLE handleOf(std::intptr_t native) { return reinterpret_cast<HANDLE>(native); }

std::intptr_t nativeOf(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

std::string wideToUtf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                     nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), size,
                          nullptr, nullptr);
    return out;
}

// The system's text for an error code (in the system's language), without the line break:
// what systemErrorText gives for the codes it has no text of its own for.
std::string systemMessage(DWORD error) {
    wchar_t* buffer = nullptr;
    DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (length > 0 && buffer != nullptr) text.assign(buffer, length);
    if (buffer != nullptr) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' ||
                             text.back() == L'.')) {
        text.pop_back();
    }
    if (text.empty()) return "error " + std::to_string(error);
    return wideToUtf8(text);
}

[[noreturn]] void fail(const std::filesystem::path& path, const std::string& problem) {
    throw Error(ErrorKind::InputOutput, fileMessage(displayPath(path), problem));
}

[[noreturn]] void failCode(const std::filesystem::path& path, const std::string& action,
                           DWORD error) {
    fail(path, action + ": " + systemErrorText(error));
}

// The path as the wide API wants it; long absolute paths get the \\?\ prefix.
std::wstring apiPath(const std::filesystem::path& path) {
    std::wstring wide = path.native();
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    if (wide.size() >= MAX_PATH - 12 && path.is_absolute() && wide.rfind(L"\\\\?\\", 0) != 0) {
        if (wide.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + wide.substr(2);
        return L"\\\\?\\" + wide;
    }
    return wide;
}

bool folderExists(const std::filesystem::path& path) {
    auto parent = path.parent_path();
    return parent.empty() || isDirectory(parent);
}

[[noreturn]] void failOpen(const std::filesystem::path& path, const std::string& action,
                           DWORD error) {
    switch (error) {
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            throw inUseError(displayPath(path));
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            if (!folderExists(path)) fail(path, "la carpeta no existe");
            fail(path, "el archivo no existe");
        case ERROR_ACCESS_DENIED:
            if (isDirectory(path)) fail(path, "es una carpeta, no un archivo");
            break;
        default:
            break;
    }
    failCode(path, action, error);
}

DWORD shareFlags(ShareMode share) {
    switch (share) {
        case ShareMode::Exclusive:
            return 0;
        case ShareMode::ExclusiveMovable:
            return FILE_SHARE_DELETE;  // others may not read or write; the name may change
        case ShareMode::NoWriters:
            return FILE_SHARE_READ;  // others may read; no one may open it for writing
        case ShareMode::Shared:
            break;
    }
    return FILE_SHARE_READ | FILE_SHARE_WRITE;
}

OVERLAPPED at(std::uint64_t offset) {
    OVERLAPPED overlapped{};
    overlapped.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return overlapped;
}

// Writes all n bytes at offset; returns ERROR_SUCCESS or the failure's code.
DWORD writeAllAt(HANDLE handle, std::uint64_t offset, const char* data, std::size_t n) {
    while (n > 0) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(n, kMaxChunk));
        OVERLAPPED overlapped = at(offset);
        DWORD written = 0;
        if (!::WriteFile(handle, data, chunk, &written, &overlapped)) return ::GetLastError();
        if (written == 0) return ERROR_DISK_FULL;
        data += written;
        n -= written;
        offset += written;
    }
    return ERROR_SUCCESS;
}

DWORD setEndOfFile(HANDLE handle, std::uint64_t size) {
    FILE_END_OF_FILE_INFO info{};
    info.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFileInformationByHandle(handle, FileEndOfFileInfo, &info, sizeof info)) {
        return ::GetLastError();
    }
    return ERROR_SUCCESS;
}

}  // namespace

File File::open(const std::filesystem::path& path, OpenIntent intent, ShareMode share) {
    DWORD access = GENERIC_READ | (intent == OpenIntent::ReadWrite ? GENERIC_WRITE : 0);
    if (intent == OpenIntent::ReadWrite) {
        if (DWORD error = injectedFault(testing::CallKind::OpenForWrite, path);
            error != ERROR_SUCCESS) {
            failOpen(path, "no se puede abrir", error);
        }
    }
    HANDLE handle = ::CreateFileW(apiPath(path).c_str(), access, shareFlags(share), nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) failOpen(path, "no se puede abrir", ::GetLastError());
    // A pipe or a device opens as well, but is no file to read at offsets.
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        fail(path, "no es un archivo");
    }
    File file;
    file.path_ = path;
    file.native_ = nativeOf(handle);
    return file;
}

File File::create(const std::filesystem::path& path, ShareMode share) {
    // OPEN_ALWAYS and then emptying: the share check happens before anything is lost, and a
    // hidden or read-only attribute of an existing file is not a reason to fail as with
    // CREATE_ALWAYS.
    if (DWORD error = injectedFault(testing::CallKind::Create, path); error != ERROR_SUCCESS) {
        failOpen(path, "no se puede crear", error);
    }
    HANDLE handle =
        ::CreateFileW(apiPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, shareFlags(share),
                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) failOpen(path, "no se puede crear", ::GetLastError());
    File file;
    file.path_ = path;
    file.native_ = nativeOf(handle);
    file.truncate(0);
    return file;
}

bool File::isOpen() const noexcept { return native_ != -1; }

std::uint64_t File::size() const {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handleOf(native_), &size)) {
        failCode(path_, "no se puede leer", ::GetLastError());
    }
    return static_cast<std::uint64_t>(size.QuadPart);
}

std::size_t File::readAt(std::uint64_t offset, void* buffer, std::size_t n) const {
    auto* out = static_cast<char*>(buffer);
    std::size_t total = 0;
    while (total < n) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(n - total, kMaxChunk));
        OVERLAPPED overlapped = at(offset + total);
        DWORD got = 0;
        if (!::ReadFile(handleOf(native_), out + total, chunk, &got, &overlapped)) {
            DWORD error = ::GetLastError();
            if (error == ERROR_HANDLE_EOF) break;
            failCode(path_, "no se puede leer", error);
        }
        if (got == 0) break;  // end of file
        total += got;
    }
    return total;
}

void File::writeAt(std::uint64_t offset, const void* buffer, std::size_t n) {
    DWORD error = injectedFault(testing::CallKind::Write, path_);
    if (error == ERROR_SUCCESS) {
        error = writeAllAt(handleOf(native_), offset, static_cast<const char*>(buffer), n);
    }
    if (error != ERROR_SUCCESS) failCode(path_, "no se puede escribir", error);
}

void File::truncate(std::uint64_t size) {
    DWORD error = injectedFault(testing::CallKind::Truncate, path_);
    if (error == ERROR_SUCCESS) error = setEndOfFile(handleOf(native_), size);
    if (error != ERROR_SUCCESS) failCode(path_, "no se puede escribir", error);
}

void File::flushToDisk() {
    DWORD error = injectedFault(testing::CallKind::FlushFile, path_);
    if (error == ERROR_SUCCESS && !::FlushFileBuffers(handleOf(native_))) error = ::GetLastError();
    if (error != ERROR_SUCCESS) failCode(path_, "no se puede guardar en disco", error);
}

void File::close() {
    if (native_ != -1) ::CloseHandle(handleOf(native_));
    native_ = -1;
}

bool fileExists(const std::filesystem::path& path) {
    DWORD attributes = ::GetFileAttributesW(apiPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool pathExists(const std::filesystem::path& path) {
    return ::GetFileAttributesW(apiPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool isDirectory(const std::filesystem::path& path) {
    DWORD attributes = ::GetFileAttributesW(apiPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool removeFileQuietly(const std::filesystem::path& path) {
    if (injectedFault(testing::CallKind::Remove, path) != ERROR_SUCCESS) return false;
    return ::DeleteFileW(apiPath(path).c_str()) != 0;
}

void renameReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    DWORD error = injectedFault(testing::CallKind::Rename, from);
    if (error == ERROR_SUCCESS &&
        !::MoveFileExW(apiPath(from).c_str(), apiPath(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = ::GetLastError();
    }
    if (error != ERROR_SUCCESS) {
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
            throw inUseError(displayPath(to));
        }
        fail(from, "no se puede renombrar a " + displayPath(to) + ": " + systemErrorText(error));
    }
}

void flushFolder(const std::filesystem::path& folder) {
    // Nothing to do: MOVEFILE_WRITE_THROUGH returns once the rename is on disk. It still
    // counts as a call for the fault injector, as on the other platforms.
    if (DWORD error = injectedFault(testing::CallKind::FlushFolder, folder);
        error != ERROR_SUCCESS) {
        failCode(folder, "no se puede guardar en disco", error);
    }
}

bool createFolder(const std::filesystem::path& folder) {
    DWORD error = injectedFault(testing::CallKind::CreateFolder, folder);
    if (error == ERROR_SUCCESS && ::CreateDirectoryW(apiPath(folder).c_str(), nullptr)) {
        return true;
    }
    if (error == ERROR_SUCCESS) error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return false;
    if (error == ERROR_PATH_NOT_FOUND) fail(folder, "la carpeta que la contiene no existe");
    failCode(folder, "no se puede crear la carpeta", error);
}

void removeFolderTree(const std::filesystem::path& folder) {
    DWORD attributes = ::GetFileAttributesW(apiPath(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
        failCode(folder, "no se puede borrar la carpeta", error);
    }
    const bool isLink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        DWORD error = injectedFault(testing::CallKind::Remove, folder);
        if (error == ERROR_SUCCESS && !::DeleteFileW(apiPath(folder).c_str())) {
            error = ::GetLastError();
        }
        if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) {
            failCode(folder, "no se puede borrar", error);
        }
        return;
    }
    if (!isLink) {  // a junction or folder link is removed itself, never followed
        std::vector<std::filesystem::path> entries;
        WIN32_FIND_DATAW found{};
        HANDLE search = ::FindFirstFileW(apiPath(folder / L"*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) {
            failCode(folder, "no se puede leer la carpeta", ::GetLastError());
        }
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") entries.push_back(folder / name);
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
        for (const auto& entry : entries) removeFolderTree(entry);
    }
    DWORD error = injectedFault(testing::CallKind::RemoveFolder, folder);
    if (error == ERROR_SUCCESS && !::RemoveDirectoryW(apiPath(folder).c_str())) {
        error = ::GetLastError();
    }
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
        failCode(folder, "no se puede borrar la carpeta", error);
    }
}

bool removeEmptyFolder(const std::filesystem::path& folder) {
    if (injectedFault(testing::CallKind::RemoveFolder, folder) != ERROR_SUCCESS) return false;
    return ::RemoveDirectoryW(apiPath(folder).c_str()) != 0;
}

std::vector<FolderEntry> listFolder(const std::filesystem::path& folder) {
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW(apiPath(folder / L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return entries;  // nothing at all, not even "."
        if (error == ERROR_PATH_NOT_FOUND || error == ERROR_DIRECTORY) {
            fail(folder, "la carpeta no existe");
        }
        failCode(folder, "no se puede leer la carpeta", error);
    }
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        // A junction or folder link is an entry of its own, never the folder it points to.
        const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                              (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
        entries.push_back({std::filesystem::path(name), isFolder});
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return entries;
}

namespace {

// Creates the temporary file of a StagedFile beside `target`. No one else may open it while
// the handle lives; only its name may change (the commit's rename, made through this handle's
// sharing).
HANDLE createTemporary(const std::filesystem::path& target, std::filesystem::path& temporary) {
    const std::filesystem::path folder = target.parent_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        // The name is ASCII: widened letter by letter, with no code page involved.
        const std::string name = detail::temporaryFileName();
        temporary = folder / std::wstring(name.begin(), name.end());
        if (DWORD error = injectedFault(testing::CallKind::Create, target);
            error != ERROR_SUCCESS) {
            failCode(target, "no se puede escribir", error);
        }
        HANDLE handle =
            ::CreateFileW(apiPath(temporary).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE,
                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) return handle;
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            failCode(target, "no se puede escribir", error);
        }
    }
    fail(target, "no se puede crear un archivo temporal");
}

}  // namespace

StagedFile::StagedFile(const std::filesystem::path& target) : target_(target) {
    const std::filesystem::path folder = target.parent_path();
    if (!folder.empty() && !isDirectory(folder)) fail(target, "la carpeta no existe");
    if (isDirectory(target)) fail(target, "no se puede escribir: es una carpeta, no un archivo");
    native_ = nativeOf(createTemporary(target, temporary_));
}

namespace {

// Gives up a staged file that could not be written: the temporary goes, the error is thrown.
[[noreturn]] void abandon(std::intptr_t& native, const std::filesystem::path& temporary,
                          const std::filesystem::path& target, DWORD error) {
    ::CloseHandle(handleOf(native));
    ::DeleteFileW(apiPath(temporary).c_str());
    native = -1;
    failCode(target, "no se puede escribir", error);
}

}  // namespace

void StagedFile::append(std::string_view bytes) {
    if (native_ == -1 || finished_) throw std::logic_error("StagedFile::append: not writable");
    // Each step counts as one call for the fault injector, named after the target.
    DWORD error = injectedFault(testing::CallKind::Write, target_);
    if (error == ERROR_SUCCESS) {
        error = writeAllAt(handleOf(native_), size_, bytes.data(), bytes.size());
    }
    if (error != ERROR_SUCCESS) abandon(native_, temporary_, target_, error);
    size_ += bytes.size();
}

void StagedFile::finish() {
    if (native_ == -1) throw std::logic_error("StagedFile::finish: nothing to finish");
    if (finished_) return;
    DWORD error = injectedFault(testing::CallKind::FlushFile, target_);
    // On disk before it takes the name.
    if (error == ERROR_SUCCESS && !::FlushFileBuffers(handleOf(native_))) error = ::GetLastError();
    if (error != ERROR_SUCCESS) abandon(native_, temporary_, target_, error);
    finished_ = true;
}

StagedFile::~StagedFile() {
    if (native_ == -1) return;
    ::CloseHandle(handleOf(native_));
    ::DeleteFileW(apiPath(temporary_).c_str());
}

void StagedFile::commit() {
    if (native_ == -1) throw std::logic_error("StagedFile::commit: nothing to commit");
    finish();
    // Renamed while still held (the handle shares deletion, which a rename needs): no cleanup
    // can take the file between the two.
    DWORD error = injectedFault(testing::CallKind::Rename, target_);
    if (error == ERROR_SUCCESS &&
        !::MoveFileExW(apiPath(temporary_).c_str(), apiPath(target_).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = ::GetLastError();
    }
    ::CloseHandle(handleOf(native_));
    native_ = -1;
    if (error != ERROR_SUCCESS) {
        ::DeleteFileW(apiPath(temporary_).c_str());
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
            throw inUseError(displayPath(target_));
        }
        failCode(target_, "no se puede escribir", error);
    }
    // MOVEFILE_WRITE_THROUGH has put the new name on disk; the folder flush of the other
    // platforms is one more call for the fault injector.
    if (DWORD flushError = injectedFault(testing::CallKind::FlushFolder, target_);
        flushError != ERROR_SUCCESS) {
        failCode(target_, "no se puede guardar en disco", flushError);
    }
}

bool removeAbandonedFile(const std::filesystem::path& file) {
    if (injectedFault(testing::CallKind::Remove, file) != ERROR_SUCCESS) return false;
    // Opened for deletion with no sharing at all: this fails while anyone has the file open,
    // and the file goes when this handle closes.
    HANDLE handle =
        ::CreateFileW(apiPath(file).c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                      FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    return ::CloseHandle(handle) != 0;
}

std::filesystem::path temporaryFolder() {
    // GetTempPathW: TMP, else TEMP, else USERPROFILE, else the Windows folder.
    wchar_t buffer[MAX_PATH + 2];
    const DWORD length = ::GetTempPathW(MAX_PATH + 2, buffer);
    if (length == 0 || length > MAX_PATH + 1) {
        fail(std::filesystem::path(L"%TEMP%"), "no se encuentra la carpeta temporal");
    }
    std::filesystem::path folder(std::wstring(buffer, length));
    if (!isDirectory(folder)) {
        fail(folder, "la carpeta temporal (variables de entorno TMP y TEMP) no existe");
    }
    return folder;
}

std::string displayPath(const std::filesystem::path& path) { return wideToUtf8(path.native()); }

std::filesystem::path defaultWorkFolder() { return std::filesystem::path(L"C:\\HTEMP"); }

CalendarDate localToday() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return {static_cast<int>(now.wYear), static_cast<int>(now.wMonth), static_cast<int>(now.wDay)};
}

}  // namespace thq::platform

namespace thq::platform {

// A folder is claimed through a named kernel object that carries the folder's identity (its
// volume's serial number and its file index), so every path to the same folder meets the same
// object and nothing is written into the folder. The object lives while a handle to it is
// open: a claim ends with its holder, also when the holder is killed.
FolderLock::FolderLock(const std::filesystem::path& folder) {
    const HANDLE directory =
        ::CreateFileW(apiPath(folder).c_str(), FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (directory == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            fail(folder, "la carpeta no existe");
        failCode(folder, "no se puede abrir la carpeta", error);
    }
    BY_HANDLE_FILE_INFORMATION identity{};
    const bool known = ::GetFileInformationByHandle(directory, &identity) != 0;
    const DWORD identityError = ::GetLastError();
    ::CloseHandle(directory);
    if (!known) failCode(folder, "no se puede bloquear la carpeta", identityError);
    if ((identity.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        fail(folder, "la carpeta no existe");

    // The global namespace lets users of other sessions on one machine meet too; where it is
    // closed to us, the session's own namespace.
    HANDLE claim = nullptr;
    DWORD error = ERROR_SUCCESS;
    for (const wchar_t* space : {L"Global", L"Local"}) {
        wchar_t name[96];
        std::swprintf(name, sizeof name / sizeof name[0], L"%ls\\transhoralis-%08lx-%08lx%08lx",
                      space, static_cast<unsigned long>(identity.dwVolumeSerialNumber),
                      static_cast<unsigned long>(identity.nFileIndexHigh),
                      static_cast<unsigned long>(identity.nFileIndexLow));
        claim = ::CreateMutexW(nullptr, FALSE, name);
        error = ::GetLastError();
        if (claim != nullptr || error != ERROR_ACCESS_DENIED) break;
    }
    if (claim == nullptr) failCode(folder, "no se puede bloquear la carpeta", error);
    if (error == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(claim);
        throw inUseError(displayPath(folder));
    }
    native_ = nativeOf(claim);
}

FolderLock::~FolderLock() {
    if (native_ != -1) ::CloseHandle(handleOf(native_));
}

}  // namespace thq::platform

#endif  // _WIN32

#ifdef _WIN32
namespace thq::platform {

std::string systemErrorText(std::uint32_t code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
            return "no existe el archivo";
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_PATHNAME:
            return "no existe la carpeta";
        case ERROR_ACCESS_DENIED:
            return "permiso denegado";
        case ERROR_WRITE_PROTECT:
            return "el disco está protegido contra escritura";
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return "no queda espacio en el disco";
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_BUSY:
        case ERROR_USER_MAPPED_FILE:
            return "está en uso";
        case ERROR_WRITE_FAULT:
        case ERROR_READ_FAULT:
        case ERROR_CRC:
        case ERROR_SECTOR_NOT_FOUND:
        case ERROR_GEN_FAILURE:
        case ERROR_IO_DEVICE:
            return "error de entrada/salida";
        case ERROR_TOO_MANY_OPEN_FILES:
            return "hay demasiados archivos abiertos";
        case ERROR_FILENAME_EXCED_RANGE:
            return "el nombre es demasiado largo";
        case ERROR_INVALID_NAME:
            return "el nombre no es válido";
        case ERROR_DIRECTORY:
            return "una parte de la ruta no es una carpeta";
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return "ya existe";
        case ERROR_DIR_NOT_EMPTY:
            return "la carpeta no está vacía";
        case ERROR_NOT_SAME_DEVICE:
            return "no se puede mover a otro disco o sistema de archivos";
        case ERROR_CANT_RESOLVE_FILENAME:
            return "la ruta tiene demasiados enlaces simbólicos";
        case ERROR_FILE_TOO_LARGE:
            return "el archivo es demasiado grande";
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return "no queda memoria suficiente";
        case ERROR_INVALID_PARAMETER:
            return "argumento no válido";
        case ERROR_NOT_READY:
        case ERROR_DEV_NOT_EXIST:
            return "el dispositivo no está disponible";
        case ERROR_BAD_NETPATH:
        case ERROR_NETNAME_DELETED:
        case ERROR_UNEXP_NET_ERR:
            return "la carpeta de red no está disponible";
        case ERROR_SEM_TIMEOUT:
            return "se agotó el tiempo de espera";
        default:
            break;
    }
    // Anything rarer in the system's own words, with its number.
    const std::string text = systemMessage(static_cast<DWORD>(code));
    const std::string number = "error " + std::to_string(code);
    return text == number ? text : text + " (" + number + ")";
}

}  // namespace thq::platform
#endif  // _WIN32
