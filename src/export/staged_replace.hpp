#pragma once
// All-or-nothing replacement of the work tables.
//
// The export builds its tables in a staging folder beside the work tables; only when every
// step has succeeded are the old tables (and their .MDX indexes) moved aside and the new ones
// moved in. Any failure on the way puts the old files back, so the timetable program never
// reads a set mixed from two documents.
#include <filesystem>
#include <span>

#include "data/table_layouts.hpp"

namespace thq::exporter {

// A fresh hidden folder inside the work folder, removed with everything in it when the
// object goes away.
class ScratchFolder {
public:
    ScratchFolder(const std::filesystem::path& workFolder, std::string_view purpose);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // Leaves the folder in place (when it holds the only copy of something).
    void keep() { kept_ = true; }

private:
    std::filesystem::path path_;
    bool kept_ = false;
};

// Moves the staged tables into the work folder, replacing the old ones and removing their
// .MDX files. Throws, with the work folder as it was, when a table is in use or a move fails.
void replaceWorkTables(const std::filesystem::path& stagingFolder,
                       const std::filesystem::path& workFolder,
                       std::span<const data::WorkTable> tables);

}  // namespace thq::exporter
