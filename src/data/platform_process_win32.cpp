#ifdef _WIN32
#include <windows.h>
// after windows.h
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "data/platform_process.hpp"

namespace thq::platform {
namespace {

std::string utf8FromWide(const wchar_t* text, std::size_t length) {
    if (length == 0) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                        nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr,
                          nullptr);
    return out;
}

}  // namespace

std::vector<std::string> programArguments(int, char**) {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) return arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(utf8FromWide(wide[i], std::wcslen(wide[i])));
    ::LocalFree(wide);
    return arguments;
}

std::optional<std::filesystem::path> environmentPath(const char* name) {
    const std::wstring wideName(name, name + std::strlen(name));  // names are ASCII
    const DWORD size = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size <= 1) return std::nullopt;
    std::wstring value(size, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
    if (length == 0 || length >= size) return std::nullopt;
    value.resize(length);
    return std::filesystem::path(value);
}

ConsoleOutput::ConsoleOutput() {
    std::fflush(stdout);
    std::fflush(stderr);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    savedCodePage_ = ::GetConsoleOutputCP();
    if (savedCodePage_ != 0) ::SetConsoleOutputCP(CP_UTF8);
}

ConsoleOutput::~ConsoleOutput() {
    std::fflush(stdout);
    std::fflush(stderr);
    if (savedCodePage_ != 0) ::SetConsoleOutputCP(savedCodePage_);
}

}  // namespace thq::platform
#endif  // _WIN32
