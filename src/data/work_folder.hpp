#pragma once
#include <filesystem>
#include <optional>

namespace thq::data {

// The work folder: the one given, else the environment variable HTEMP, else the
// platform's default (C:\HTEMP on Windows, $HOME/HTEMP elsewhere).
std::filesystem::path resolveWorkFolder(const std::optional<std::filesystem::path>& given);

// Throws, naming the folder, unless it is a folder: "la carpeta de trabajo no existe", or,
// when something else has that name, that it is a file and not a folder.
void requireWorkFolder(const std::filesystem::path& folder);

}  // namespace thq::data
