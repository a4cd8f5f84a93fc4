#pragma once
// The command-line front end: the same export and import runs as the window, headless.
#include <iosfwd>
#include <string>
#include <vector>

namespace thq::cli {

enum ExitCode : int {
    kCompleted = 0,
    kFailed = 1,
    kUsage = 2,
    kMissingDocument = 3,
    kWarningsOnly = 4,  // `check`: the export would run, but data would change on the way
};

// Runs one command (arguments without the program name); returns the exit code.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

std::string usageText();

}  // namespace thq::cli
