#include "fuzz_support.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>

namespace thq::fuzz {

namespace {

std::filesystem::path* folder = nullptr;

void removeScratchFolder() {
    std::error_code ec;
    if (folder != nullptr) std::filesystem::remove_all(*folder, ec);
}

[[noreturn]] void harnessFailure(const std::string& what) {
    std::fprintf(stderr, "fuzz harness: %s\n", what.c_str());
    std::abort();
}

}  // namespace

const std::filesystem::path& scratchFolder() {
    if (folder == nullptr) {
        std::string pattern = (std::filesystem::temp_directory_path() / "thq-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) harnessFailure("cannot make " + pattern);
        folder = new std::filesystem::path(pattern);
        std::atexit(removeScratchFolder);
    }
    return *folder;
}

void writeBytes(const std::filesystem::path& file, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) harnessFailure("cannot write " + file.string());
}

void resetFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    if (!std::filesystem::create_directories(folder, ec) || ec) {
        harnessFailure("cannot make " + folder.string());
    }
}

std::filesystem::path sourceDir() { return TH_SOURCE_DIR; }

}  // namespace thq::fuzz
