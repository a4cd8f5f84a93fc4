// The parts of the file adapter that are the same on every platform.
#include "data/platform_file_common.hpp"

#include <random>
#include <utility>

#include "data/platform_file.hpp"

namespace thq::platform {
namespace {

constexpr std::string_view kTemporaryPrefix = ".transhoralis-";
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kTemporaryDigits = 10;
constexpr std::string_view kTemporaryAlphabet = "0123456789abcdefghijklmnopqrstuvwxyz";

}  // namespace

namespace detail {

std::string temporaryFileName() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    std::string name(kTemporaryPrefix);
    for (std::size_t i = 0; i < kTemporaryDigits; ++i)
        name += kTemporaryAlphabet[generator() % kTemporaryAlphabet.size()];
    name += kTemporarySuffix;
    return name;
}

}  // namespace detail

File::~File() { close(); }

File::File(File&& other) noexcept
    : path_(std::move(other.path_)), native_(std::exchange(other.native_, -1)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        path_ = std::move(other.path_);
        native_ = std::exchange(other.native_, -1);
    }
    return *this;
}

StagedFile::StagedFile(const std::filesystem::path& target, std::string_view bytes)
    : StagedFile(target) {
    append(bytes);
    finish();
}

void writeFileAtomically(const std::filesystem::path& target, std::string_view bytes) {
    StagedFile(target, bytes).commit();
}

bool isTemporaryFileName(std::string_view name) {
    if (!name.starts_with(kTemporaryPrefix) || !name.ends_with(kTemporarySuffix)) return false;
    const std::string_view middle = name.substr(
        kTemporaryPrefix.size(), name.size() - kTemporaryPrefix.size() - kTemporarySuffix.size());
    if (middle.size() != kTemporaryDigits) return false;
    for (const char c : middle) {
        if (kTemporaryAlphabet.find(c) == std::string_view::npos) return false;
    }
    return true;
}

}  // namespace thq::platform
