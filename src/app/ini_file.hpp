#pragma once
// A small ini-file editor: sets one value and leaves every other byte of the file alone.
// Sections and keys are found as the Windows ini calls find them (ASCII letters in either
// case, blanks around names ignored); lines it does not change keep their text and line ends.
#include <filesystem>
#include <string>
#include <string_view>

namespace thq::app {

// The ini text with `key=value` set in `section`:
// - the first line of the first matching section whose key matches gets the new value
//   (the key keeps its spelling);
// - a missing key is added after the section's last non-blank line;
// - a missing section is added at the end, with the key.
// New lines end like the text's first line; "\r\n" when the text has no line end yet.
std::string setIniValue(std::string_view iniText, std::string_view section, std::string_view key,
                        std::string_view value);

// Reads the file (a missing file is empty), sets the value and writes the file back
// atomically. Any failure throws thq::Error("Unable to write to <file>").
void writeIniValue(const std::filesystem::path& file, std::string_view section,
                   std::string_view key, std::string_view value);

}  // namespace thq::app
