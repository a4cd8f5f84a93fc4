// th_file_holder HOLD FILE: takes the hold on FILE, prints "H" (held) or "F" (failed) on a
// line of its own, and keeps the hold until its standard input ends.
// th_file_holder --list: prints the names of the holds, one a line; --readers those of them
// that only read.
#include <cstdio>
#include <iostream>
#include <string>

#include "data/dbf_table.hpp"
#include "file_holder.hpp"
#include "test_support.hpp"

int main(int argc, char** argv) {
    using namespace thq;
    const std::vector<std::string> holds = [] {
        std::vector<std::string> all = {"table-exclusive", "table-shared"};
        for (auto& hold : test::holder::platformHolds()) all.push_back(hold);
        return all;
    }();
    if (argc == 2 && std::string(argv[1]) == "--list") {
        for (const auto& hold : holds) std::cout << hold << '\n';
        return 0;
    }
    if (argc == 2 && std::string(argv[1]) == "--readers") {
        for (const auto& hold : test::holder::platformReaderHolds()) std::cout << hold << '\n';
        return 0;
    }
    if (argc != 3) {
        std::cerr << "uso: th_file_holder HOLD FILE | --list | --readers\n";
        return 2;
    }
    const std::string hold = argv[1];
    const std::filesystem::path file = test::fromUtf8(argv[2]);
    data::DbfTable table(file);
    bool held = false;
    try {
        if (hold == "table-exclusive" || hold == "table-shared") {
            table.open(hold == "table-exclusive" ? data::OpenMode::Exclusive
                                                 : data::OpenMode::Shared);
            held = true;
        } else {
            held = test::holder::takePlatformHold(hold, file);
        }
    } catch (const std::exception& error) {
        std::cerr << error.what() << '\n';
    }
    std::cout << (held ? "H" : "F") << std::endl;
    while (std::cin.get() != EOF) {
    }
    return 0;
}
