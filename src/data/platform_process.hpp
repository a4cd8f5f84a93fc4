#pragma once
// The process's side of the platform: its arguments, its environment and its standard
// streams, all as UTF-8. One implementation per platform (platform_process_posix.cpp,
// platform_process_win32.cpp).
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace thq::platform {

// The program's arguments after its name, as UTF-8. On Windows they come from the UTF-16
// command line, so any path survives whatever the ANSI code page; elsewhere argv is taken
// as it stands.
std::vector<std::string> programArguments(int argc, char** argv);

// An environment variable's value as a path; none when it is unset or empty.
std::optional<std::filesystem::path> environmentPath(const char* name);

// Standard output and error written byte for byte while the object lives: on Windows in
// binary mode (no carriage return added before line feeds, so the output's bytes are the
// same on every platform) and with the console's output code page set to UTF-8 (restored
// at the end), so accents read right in a console window.
class ConsoleOutput {
public:
    ConsoleOutput();
    // On Windows it flushes the output and restores the console's code page.
    ~ConsoleOutput();  // NOLINT(performance-trivially-destructible): not trivial on Windows
    ConsoleOutput(const ConsoleOutput&) = delete;
    ConsoleOutput& operator=(const ConsoleOutput&) = delete;

private:
    // The console's code page to restore; only the Windows implementation has one.
    [[maybe_unused]] unsigned savedCodePage_ = 0;
};

}  // namespace thq::platform
