#pragma once
// Shared by the fuzz targets: a scratch folder per process and file helpers.
#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace thq::fuzz {

// A folder of this process's own under the system's temporary folder (TMPDIR), made on the
// first call and removed when the process exits normally.
const std::filesystem::path& scratchFolder();

// Writes the bytes to the file, replacing it; aborts when it cannot (the harness is broken).
void writeBytes(const std::filesystem::path& file, const std::uint8_t* data, std::size_t size);

// Empties a folder, creating it when missing.
void resetFolder(const std::filesystem::path& folder);

// The checkout (for the sample school).
std::filesystem::path sourceDir();

}  // namespace thq::fuzz
