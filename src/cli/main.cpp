#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.hpp"
#include "data/platform_process.hpp"

int main(int argc, char** argv) {
    const thq::platform::ConsoleOutput console;
    const int code = thq::cli::run(thq::platform::programArguments(argc, argv), std::cout, std::cerr);
    std::cout.flush();
    return code;
}
