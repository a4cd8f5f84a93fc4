// Child processes for the tests on Windows: CreateProcessW with pipes, arguments quoted as
// the C runtime splits them.
#include <windows.h>

#include <cwchar>
#include <stdexcept>
#include <thread>

#include "test_support.hpp"

namespace thq::test {
namespace {

std::wstring wide(const std::string& text) {
    if (text.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

// One argument quoted so that CommandLineToArgvW and the C runtime give it back unchanged.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring out = L"\"";
    for (auto it = argument.begin();; ++it) {
        std::size_t backslashes = 0;
        while (it != argument.end() && *it == L'\\') {
            ++it;
            ++backslashes;
        }
        if (it == argument.end()) {
            out.append(backslashes * 2, L'\\');
            break;
        }
        if (*it == L'"') {
            out.append(backslashes * 2 + 1, L'\\');
        } else {
            out.append(backslashes, L'\\');
        }
        out += *it;
    }
    return out + L"\"";
}

std::wstring commandLine(const std::vector<std::string>& argv) {
    std::wstring line;
    for (const auto& argument : argv) {
        if (!line.empty()) line += L' ';
        line += quoted(wide(argument));
    }
    return line;
}

// The process's environment with `extra` applied (an empty value removes the variable), as
// a sorted UTF-16 block.
std::wstring environmentBlock(const std::map<std::string, std::string>& extra) {
    std::map<std::wstring, std::wstring, bool (*)(const std::wstring&, const std::wstring&)>
        variables([](const std::wstring& a, const std::wstring& b) {
            return _wcsicmp(a.c_str(), b.c_str()) < 0;
        });
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1) {
            const std::wstring text(entry);
            const auto equals = text.find(L'=', 1);  // "=C:=C:\..." entries start with '='
            if (equals == std::wstring::npos) continue;
            variables[text.substr(0, equals)] = text.substr(equals + 1);
        }
        FreeEnvironmentStringsW(block);
    }
    for (const auto& [key, value] : extra) {
        if (value.empty())
            variables.erase(wide(key));
        else
            variables[wide(key)] = wide(value);
    }
    std::wstring out;
    for (const auto& [key, value] : variables) {
        out += key;
        out += L'=';
        out += value;
        out += L'\0';
    }
    out += L'\0';  // the block ends in an empty entry
    return out;
}

struct Pipe {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
};

// A pipe whose `childEnd` is inherited by the child and whose other end is not.
Pipe makePipe(bool childReads) {
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, TRUE};
    Pipe pipe;
    if (!CreatePipe(&pipe.read, &pipe.write, &attributes, 0))
        throw std::runtime_error("CreatePipe failed");
    SetHandleInformation(childReads ? pipe.write : pipe.read, HANDLE_FLAG_INHERIT, 0);
    return pipe;
}

HANDLE spawn(const std::vector<std::string>& argv, HANDLE in, HANDLE out, HANDLE err,
             const std::map<std::string, std::string>& extraEnv) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::wstring line = commandLine(argv);
    std::wstring environment = environmentBlock(extraEnv);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                        CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, environment.data(), nullptr,
                        &startup, &process)) {
        throw std::runtime_error("CreateProcessW failed for " + argv.front());
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

std::string drain(HANDLE handle) {
    std::string data;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(handle, buffer, sizeof buffer, &n, nullptr) && n > 0) data.append(buffer, n);
    return data;
}

int exitCodeOf(HANDLE process) {
    WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return static_cast<int>(code);
}

HANDLE nullDevice() {
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, TRUE};
    return CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &attributes, OPEN_EXISTING, 0, nullptr);
}

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& extraEnv) {
    Pipe out = makePipe(false);
    Pipe err = makePipe(false);
    HANDLE in = nullDevice();
    HANDLE process = spawn(argv, in, out.write, err.write, extraEnv);
    CloseHandle(in);
    CloseHandle(out.write);
    CloseHandle(err.write);
    ProcessResult result;
    std::thread errReader([&] { result.err = drain(err.read); });
    result.out = drain(out.read);
    errReader.join();
    CloseHandle(out.read);
    CloseHandle(err.read);
    result.exitCode = exitCodeOf(process);
    return result;
}

struct ChildProcess::Impl {
    HANDLE process = nullptr;
    HANDLE input = nullptr;
    HANDLE output = nullptr;
    int exitCode = -1;
};

ChildProcess::ChildProcess(const std::vector<std::string>& argv) : impl_(std::make_unique<Impl>()) {
    Pipe in = makePipe(true);
    Pipe out = makePipe(false);
    impl_->process = spawn(argv, in.read, out.write, GetStdHandle(STD_ERROR_HANDLE), {});
    CloseHandle(in.read);
    CloseHandle(out.write);
    impl_->input = in.write;
    impl_->output = out.read;
}

ChildProcess::~ChildProcess() { finish(); }

std::string ChildProcess::readLine() {
    std::string line;
    char c = 0;
    DWORD n = 0;
    while (ReadFile(impl_->output, &c, 1, &n, nullptr) && n == 1 && c != '\n') line += c;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

int ChildProcess::finish() {
    if (impl_->process == nullptr) return impl_->exitCode;
    CloseHandle(impl_->input);
    CloseHandle(impl_->output);
    impl_->exitCode = exitCodeOf(impl_->process);
    impl_->process = nullptr;
    return impl_->exitCode;
}

std::string runWithoutPrivileges(const std::function<std::string()>& action) {
    try {
        return action();
    } catch (const std::exception& e) {
        return std::string("error: ") + e.what();
    }
}

}  // namespace thq::test
