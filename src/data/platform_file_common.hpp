#pragma once
// What the POSIX and Windows file adapters share (platform_file_common.cpp); for the
// adapters only.
#include <string>

namespace thq::platform::detail {

// A fresh name for a StagedFile's temporary file: ".transhoralis-" with ten random digits
// and lower-case letters, then ".tmp" (ASCII only, the same on every platform).
std::string temporaryFileName();

}  // namespace thq::platform::detail
