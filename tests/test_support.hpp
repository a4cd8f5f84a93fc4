#pragma once
// Helpers shared by the tests: temporary folders, files, child processes.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "data/error.hpp"

namespace thq::test {

// The message of the thq::Error that `action` throws ("" when it throws none).
inline std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& error) {
        return error.what();
    }
    return "";
}

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Paths as UTF-8 and back, the same on every platform (never through a narrow code page).
std::string utf8(const std::filesystem::path& path);
std::filesystem::path fromUtf8(const std::string& text);

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

// Every regular file under a folder (relative path -> bytes), for byte-for-byte comparison.
std::map<std::string, std::string> snapshotFolder(const std::filesystem::path& folder);

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};
// Runs a program with arguments (no shell), capturing stdout and stderr.
ProcessResult runProcess(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& extraEnv = {});

// A program left running while a test needs it (a second program holding a table, say). Its
// standard input stays open; it is closed, and the program awaited, when the object goes.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // One line of its standard output without the line end; empty at its end.
    std::string readLine();
    // Closes its standard input and waits; returns its exit code.
    int finish();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Every way this platform's programs hold a file (our table engine's exclusive and shared
// opens first), as th_file_holder lists them.
std::vector<std::string> holdsOfThisPlatform();
// Those of them that only read: another reader may open the file beside them.
std::vector<std::string> readerHoldsOfThisPlatform();

// Another program (th_file_holder) holding a file in one of those ways until this object goes.
class HeldByAnotherProcess {
public:
    HeldByAnotherProcess(const std::filesystem::path& file, const std::string& hold);
    bool holds() const { return holds_; }

private:
    ChildProcess child_;
    bool holds_;
};

// Debian's python3-dbfread and python3-dbf, the independent readers and writers, are Linux
// programs: the tests that use them skip themselves where they are missing (Windows).
#define TH_REQUIRE_PYTHON_READERS()   \
    if (!::thq::test::kPythonReaders) \
    GTEST_SKIP() << "Debian's Python dBase readers run on Linux only"
inline constexpr bool kPythonReaders = TH_PYTHON_READERS;

// Test builds with the file adapter's fault injector (TH_FAULT_INJECTION): the next write
// fails as on a full disk, until stopFailing().
extern const bool kFaultInjection;
void failNextWrite();
void stopFailing();

// POSIX only (the tests that kill a run part-way through): runs `body` in a forked child of
// this test process; returns what the child exits with (its
// return value, or 128 + the signal that ended it). An exception ends the child with 125.
int runInChild(const std::function<int()>& body);
// Runs `action` where file permissions apply to it: on POSIX in a child process, as the user
// nobody when the tests run as the superuser, whom permissions do not stop; on Windows, where
// the read-only attribute binds every user, in this process. Returns what `action` returns, or
// "error: " and the message of the exception it throws.
std::string runWithoutPrivileges(const std::function<std::string()>& action);

// Runs a Python snippet with the system's Python; the arguments follow as sys.argv[1:].
ProcessResult runPython(const std::string& code, const std::vector<std::string>& args = {});

// The sample school's document (samples/ies-sierra-de-la-vega.xml) copied into `folder` as
// horario.xml; returns the copy's path.
std::filesystem::path copySampleDocument(const std::filesystem::path& folder);
// A small document, malo.xml in `folder`, whose export stops at a subject's hours:
// "'90.5' no es un valor entero válido".
std::filesystem::path writeFailingDocument(const std::filesystem::path& folder);

std::filesystem::path testDataDir();  // tests/fixtures
std::filesystem::path sourceDir();    // the checkout
std::filesystem::path binDir();       // build/bin

}  // namespace thq::test
