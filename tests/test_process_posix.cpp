// Child processes for the tests on POSIX systems.
#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <thread>

#include "test_support.hpp"

namespace thq::test {
namespace {

std::string drain(int fd) {
    std::string data;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) data.append(buffer, static_cast<size_t>(n));
    return data;
}

// Starts argv with its standard streams on the given descriptors (-1: /dev/null).
pid_t spawn(const std::vector<std::string>& argv, int in, int out, int err,
            const std::map<std::string, std::string>& extraEnv, const std::vector<int>& toClose) {
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int devnull = open("/dev/null", O_RDWR);
        dup2(in >= 0 ? in : devnull, 0);
        dup2(out >= 0 ? out : devnull, 1);
        dup2(err >= 0 ? err : devnull, 2);
        for (int fd : toClose) close(fd);
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
    return pid;
}

int exitCodeOf(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& extraEnv) {
    int outPipe[2];
    int errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) throw std::runtime_error("pipe failed");
    const pid_t pid = spawn(argv, -1, outPipe[1], errPipe[1], extraEnv, {outPipe[0], errPipe[0]});
    close(outPipe[1]);
    close(errPipe[1]);
    ProcessResult result;
    std::thread errReader([&] { result.err = drain(errPipe[0]); });
    result.out = drain(outPipe[0]);
    errReader.join();
    close(outPipe[0]);
    close(errPipe[0]);
    result.exitCode = exitCodeOf(pid);
    return result;
}

struct ChildProcess::Impl {
    pid_t pid = -1;
    int input = -1;   // our end of its standard input
    int output = -1;  // our end of its standard output
    int exitCode = -1;
};

ChildProcess::ChildProcess(const std::vector<std::string>& argv) : impl_(std::make_unique<Impl>()) {
    int inPipe[2];
    int outPipe[2];
    if (pipe(inPipe) != 0 || pipe(outPipe) != 0) throw std::runtime_error("pipe failed");
    impl_->pid = spawn(argv, inPipe[0], outPipe[1], 2, {}, {inPipe[1], outPipe[0]});
    close(inPipe[0]);
    close(outPipe[1]);
    impl_->input = inPipe[1];
    impl_->output = outPipe[0];
}

ChildProcess::~ChildProcess() { finish(); }

std::string ChildProcess::readLine() {
    std::string line;
    char c = 0;
    while (read(impl_->output, &c, 1) == 1 && c != '\n') line += c;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

int ChildProcess::finish() {
    if (impl_->pid < 0) return impl_->exitCode;
    close(impl_->input);
    close(impl_->output);
    impl_->exitCode = exitCodeOf(impl_->pid);
    impl_->pid = -1;
    return impl_->exitCode;
}

int runInChild(const std::function<int()>& body) {
    std::cout.flush();
    std::cerr.flush();
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        int code = 125;
        try {
            code = body();
        } catch (...) {
        }
        _exit(code);
    }
    return exitCodeOf(pid);
}

std::string runWithoutPrivileges(const std::function<std::string()>& action) {
    int channel[2];
    if (pipe(channel) != 0) throw std::runtime_error("pipe failed");
    std::cout.flush();
    std::cerr.flush();
    const pid_t pid = fork();
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
    exitCodeOf(pid);
    return answer;
}

}  // namespace thq::test
