#pragma once
// Paths to and from UTF-8 text. Arguments, messages and documents speak UTF-8; a path made
// from a narrow std::string would go through the ANSI code page on Windows and lose every
// character that page lacks.
#include <filesystem>
#include <string>
#include <string_view>

namespace thq::data {

inline std::filesystem::path pathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace thq::data
