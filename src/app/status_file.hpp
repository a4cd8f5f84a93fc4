#pragma once
// The completion status that hosted mode leaves for the timetable program: "Horalia.ini"
// beside the executable, section "Transformadores", key "Transformado".
#include <cstdint>
#include <filesystem>

namespace thq::app {

inline constexpr const char* kStatusFileName = "Horalia.ini";
inline constexpr const char* kStatusSection = "Transformadores";
inline constexpr const char* kStatusKey = "Transformado";

std::filesystem::path statusFilePath(const std::filesystem::path& executableFolder);

// Writes the status in decimal ("1", "0", "-1"), keeping the rest of the file. Throws
// thq::Error("Unable to write to <file>").
void writeTransformStatus(const std::filesystem::path& statusFile, std::int32_t status);

}  // namespace thq::app
