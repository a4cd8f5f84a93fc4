#include "test_support.hpp"

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace thq::test {

TempDir::TempDir() {
    std::random_device rd;
    auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / ("thq-test-" + std::to_string(rd()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + path.string());
    out << bytes;
}

std::map<std::string, std::string> snapshotFolder(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    if (!std::filesystem::exists(folder)) return files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[std::filesystem::relative(entry.path(), folder).string()] =
                readFile(entry.path());
        } else if (entry.is_directory()) {
            files[std::filesystem::relative(entry.path(), folder).string() + "/"] = "";
        }
    }
    return files;
}

namespace {
std::string drain(int fd) {
    std::string data;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) data.append(buffer, static_cast<size_t>(n));
    return data;
}
}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& extraEnv) {
    int outPipe[2];
    int errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) throw std::runtime_error("pipe failed");
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(outPipe[0]);
        close(errPipe[0]);
        int devnull = open("/dev/null", O_RDONLY);
        if (devnull >= 0) dup2(devnull, 0);
        for (const auto& [key, value] : extraEnv) {
            if (value.empty())
                unsetenv(key.c_str());
            else
                setenv(key.c_str(), value.c_str(), 1);
        }
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    ProcessResult result;
    std::thread errReader([&] { result.err = drain(errPipe[0]); });
    result.out = drain(outPipe[0]);
    errReader.join();
    close(outPipe[0]);
    close(errPipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

std::string runWithoutPrivileges(const std::function<std::string()>& action) {
    int channel[2];
    if (pipe(channel) != 0) throw std::runtime_error("pipe failed");
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        close(channel[0]);
        std::string answer;
        if (geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
            answer = "error: cannot give up the superuser's privileges";
        } else {
            try {
                answer = action();
            } catch (const std::exception& e) {
                answer = std::string("error: ") + e.what();
            }
        }
        (void)!write(channel[1], answer.data(), answer.size());
        close(channel[1]);
        _exit(0);
    }
    close(channel[1]);
    std::string answer = drain(channel[0]);
    close(channel[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return answer;
}

ProcessResult runPython(const std::string& code, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {TH_PYTHON, "-c", code};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv);
}

std::filesystem::path testDataDir() { return TH_TEST_DATA_DIR; }
std::filesystem::path sourceDir() { return TH_SOURCE_DIR; }
std::filesystem::path binDir() { return TH_BIN_DIR; }

}  // namespace thq::test
