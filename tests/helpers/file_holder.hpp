#pragma once
// th_file_holder: a second program holding a file the way other programs do, for the tests
// of tables in use. One implementation of the platform's own holds per platform.
#include <filesystem>
#include <string>
#include <vector>

namespace thq::test::holder {

// The names of the holds this platform knows besides our own table engine's.
std::vector<std::string> platformHolds();

// Of all the holds (our table engine's too), those of a program that only reads: beside them
// another reader may open the file, no writer may.
std::vector<std::string> platformReaderHolds();

// Takes the named hold on the file and keeps it until the process ends; false when it
// cannot.
bool takePlatformHold(const std::string& hold, const std::filesystem::path& file);

}  // namespace thq::test::holder
