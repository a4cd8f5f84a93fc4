#pragma once
#include <filesystem>
#include <optional>

namespace thq::data {

// The work folder: the one given, else the environment variable HTEMP, else the
// platform's default (C:\HTEMP on Windows, $HOME/HTEMP elsewhere).
std::filesystem::path resolveWorkFolder(const std::optional<std::filesystem::path>& given);

}  // namespace thq::data
