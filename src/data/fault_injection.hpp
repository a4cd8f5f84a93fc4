#pragma once
// The fault injector of test builds, shared by the platform adapters (see
// platform::testing in platform_file.hpp). Without TH_FAULT_INJECTION nothing is counted.
#include <filesystem>

#include "data/platform_file.hpp"

namespace thq::platform::detail {

#ifdef TH_FAULT_INJECTION
// Counts one mutating call about `subject`: the error number it must fail with, or 0.
int countCall(testing::CallKind kind, const std::filesystem::path& subject);
#else
constexpr int countCall(testing::CallKind, const std::filesystem::path&) { return 0; }
#endif

}  // namespace thq::platform::detail
