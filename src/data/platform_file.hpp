#pragma once
// The small platform adapter for files: open with a share mode, positioned reads and
// writes, durable atomic replacement. One implementation per platform
// (platform_file_posix.cpp, platform_file_win32.cpp); nothing else in the core touches
// the operating system's file calls.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace thq::platform {

enum class ShareMode {
    Shared,     // others may read and write too (a builder's own table)
    Exclusive,  // no one else may have the file open (the table components)
    // As Exclusive, but the holder may still move the file to another name while it holds
    // it (the export holds the old tables so while it moves them aside).
    ExclusiveMovable,
    // A reader's hold: others may read too, no one may write while it is held. It needs no
    // write access, so it works on a read-only file (POSIX: a read lock; Windows: a handle
    // that shares reading only).
    NoWriters,
};

// A read-only open takes a reader's hold (Shared or NoWriters): a POSIX write lock needs a
// file open for writing.
enum class OpenIntent { ReadOnly, ReadWrite };

// An open file. Errors throw thq::Error naming the file and the operation.
class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens an existing file. A file that another holder has open in a conflicting share
    // mode fails with "en uso por otro programa".
    static File open(const std::filesystem::path& path, OpenIntent intent, ShareMode share);
    // Creates (or truncates) a file for writing, permissions following the user's umask.
    static File create(const std::filesystem::path& path, ShareMode share);

    bool isOpen() const noexcept;
    const std::filesystem::path& path() const noexcept { return path_; }
    std::uint64_t size() const;
    // Reads up to n bytes at offset; returns the number read (short only at end of file).
    std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t n) const;
    void writeAt(std::uint64_t offset, const void* buffer, std::size_t n);
    void truncate(std::uint64_t size);
    void flushToDisk();
    void close();

private:
    std::filesystem::path path_;
    // A POSIX descriptor or a Windows HANDLE; -1 when closed on both.
    std::intptr_t native_ = -1;
};

bool fileExists(const std::filesystem::path& path);  // a regular file (not a folder)
// Anything at all of that name: a file, a folder, a device, a pipe...
bool pathExists(const std::filesystem::path& path);
bool isDirectory(const std::filesystem::path& path);
// Deletes a file; a failure is not reported (returns false).
bool removeFileQuietly(const std::filesystem::path& path);
// Renames, replacing an existing target; throws naming both files.
void renameReplacing(const std::filesystem::path& from, const std::filesystem::path& to);
// Flushes a folder's entries to disk (after renames), where the platform needs it.
void flushFolder(const std::filesystem::path& folder);

// Creates a folder (permissions following the user's umask); false when something of that
// name exists already. Other failures throw naming the folder.
bool createFolder(const std::filesystem::path& folder);
// Removes a folder with everything in it; a symbolic link inside is removed, never followed.
// Throws naming the first entry that cannot be removed (what was removed before stays
// removed). A folder that does not exist is not an error.
void removeFolderTree(const std::filesystem::path& folder);
// Removes a folder only when it is empty; false when it is not empty or cannot be removed.
// Never deletes a file.
bool removeEmptyFolder(const std::filesystem::path& folder);

// The entries of a folder (not "." and ".."), in no particular order. A symbolic link is
// never a folder here, whatever it points to. Throws naming the folder.
struct FolderEntry {
    std::filesystem::path name;
    bool isFolder = false;
};
std::vector<FolderEntry> listFolder(const std::filesystem::path& folder);

// A file written aside and put in place later: the bytes go to a temporary file beside the
// target, flushed to disk, and only commit() renames it over the target. Until then the
// target is untouched; an uncommitted file is removed with the object. Two or more files can
// so be made ready before the first one replaces anything.
//
// The temporary file has a short name of its own (".transhoralis-XXXXXXXXXX.tmp", however
// long the target's name is) and is held exclusively while the object lives, so that
// removeAbandonedFile() can tell it from one whose writer was killed.
//
// A large file can be written in pieces instead: made empty, then append() as often as
// needed, then finish() (or commit() straight away, which finishes first).
class StagedFile {
public:
    // Writes the bytes and flushes them to disk. Throws naming the target; nothing is left
    // behind then.
    StagedFile(const std::filesystem::path& target, std::string_view bytes);
    // An empty file, to be written with append().
    explicit StagedFile(const std::filesystem::path& target);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Writes the bytes after those written so far. A failure throws naming the target and
    // removes the temporary file; the object can then only be destroyed.
    void append(std::string_view bytes);
    // Flushes what was written to disk; nothing can be appended afterwards.
    void finish();
    // Renames the file over the target, then flushes the folder's entries. A failed rename
    // leaves the target as it was; a failed flush is reported after the rename, with the
    // target then holding the new bytes.
    void commit();

private:
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    std::intptr_t native_ = -1;  // the temporary file, open and held
    std::uint64_t size_ = 0;     // bytes written so far
    bool finished_ = false;      // flushed to disk, ready to be committed
};

// Writes bytes to `target` atomically (a StagedFile committed at once). On failure no
// partial file remains and an earlier target is untouched.
void writeFileAtomically(const std::filesystem::path& target, std::string_view bytes);

// True for the name of a StagedFile's temporary file.
bool isTemporaryFileName(std::string_view name);

// Removes a file unless a process holds it open exclusively through this adapter (a
// StagedFile being written, a table held by a run): true when it was removed. Used for the
// temporary files of writers that were killed.
bool removeAbandonedFile(const std::filesystem::path& file);

// The folder for scratch work that no one else needs to see: TMPDIR (TMP, TEMP on Windows),
// else the system's. Throws, in Spanish and naming the folder and where it came from, when it
// does not exist.
std::filesystem::path temporaryFolder();

// Path as UTF-8 for messages.
std::string displayPath(const std::filesystem::path& path);

}  // namespace thq::platform

namespace thq::platform::testing {
// The mutating calls of the adapter, as the fault injector of test builds counts them.
enum class CallKind {
    Create,        // a file created (also the temporary file of writeFileAtomically)
    OpenForWrite,  // an existing file opened for reading and writing
    Write,
    Truncate,
    FlushFile,    // a file's data to disk
    FlushFolder,  // a folder's entries to disk
    Rename,       // (the file moved)
    Remove,       // a file removed (also an abandoned one)
    CreateFolder,
    RemoveFolder,
};
struct Call {
    CallKind kind;
    std::filesystem::path subject;  // the file or folder the call's error would name
};

#ifdef TH_FAULT_INJECTION
// Test builds only (CMake option TH_FAULT_INJECTION): the adapter counts its mutating calls
// (each step inside writeFileAtomically too, all named after its target) and can make one of
// them fail with an error number, as a full or failing disk would. Reads, queries and locks
// are not counted. Not for release builds: the count is the process's own.

// Makes the n-th mutating call after this one fail with `error` (ENOSPC, EIO, ...); n = 0
// fails none. Starts the count and the log afresh.
void failNthCall(std::size_t n, int error);
// As failNthCall, for `count` calls from the n-th on (a disk that stops working for a while,
// or for good with SIZE_MAX).
void failCalls(std::size_t n, std::size_t count, int error);
// Mutating calls since the last failNthCall, failCalls or resetFaults.
std::size_t callsSoFar();
// Counts from zero again and fails nothing.
void resetFaults();
// The file or folder the failed call was about; empty while the call to fail has not come.
std::filesystem::path failedCallPath();
// Every counted call since the last reset, in order.
std::vector<Call> callLog();

// What a process stopped by stopAtNthCall exits with.
inline constexpr int kStoppedExitCode = 86;
// Ends the process at once when the n-th mutating call after this one comes, before that call
// is made: std::_Exit(kStoppedExitCode), no destructor, no cleanup, as a kill or a power cut
// would leave things. For a child process of a test. Starts the count and the log afresh.
void stopAtNthCall(std::size_t n);
#endif
}  // namespace thq::platform::testing

namespace thq::platform {
// C:\HTEMP on Windows; $HOME/HTEMP elsewhere.
std::filesystem::path defaultWorkFolder();

// Today's date on the local clock (for the tables' last-update date).
struct CalendarDate {
    int year = 1900;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
};
CalendarDate localToday();
}  // namespace thq::platform

namespace thq::platform {
// An exclusive claim on a folder, held while the object lives; nothing is written into the
// folder. A second claim, from this process or another, fails with an InUse thq::Error.
class FolderLock {
public:
    explicit FolderLock(const std::filesystem::path& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    std::intptr_t native_ = -1;
};
}  // namespace thq::platform

namespace thq::platform {
// A system error code (errno on POSIX, GetLastError on Windows) as the Spanish text that
// follows the action in a message ("no se puede escribir: no queda espacio en el disco"). The
// common file-system failures have texts of their own; any other code gives the system's own
// text with its number.
std::string systemErrorText(std::uint32_t code);
}  // namespace thq::platform
