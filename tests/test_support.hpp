#pragma once
// Helpers shared by the tests: temporary folders, files, child processes.
#include <filesystem>
#include <functional>
#include <map>
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

// Runs `action` in a child process that file permissions apply to: as the user nobody when
// the tests run as the superuser, whom permissions do not stop. Returns what `action`
// returns, or "error: " and the message of the exception it throws.
std::string runWithoutPrivileges(const std::function<std::string()>& action);

// Runs a Python snippet with the system's Python; the arguments follow as sys.argv[1:].
ProcessResult runPython(const std::string& code, const std::vector<std::string>& args = {});

std::filesystem::path testDataDir();  // tests/fixtures
std::filesystem::path sourceDir();    // the checkout
std::filesystem::path binDir();       // build/bin

}  // namespace thq::test
