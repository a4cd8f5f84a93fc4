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
//
// The old files are first moved into a backup folder beside them, then the new tables are
// moved in and the work folder's entries flushed to disk: that flush is the point of no
// return. Before the first move the plan is written into the work folder (see
// work_folder_repair.hpp), so that a kill or a power cut at any point leaves a folder that
// the next run puts back in order; the plan is removed last. A failure before the point of no
// return moves everything back; should even that fail, the backup folder and the staging
// folder are kept with the plan (the backup may hold the only copy of an old table), the
// error names the backup, and the next run in the folder finishes the undoing. After that
// point the replacement has succeeded: clearing away the old tables is housekeeping, and when
// it fails the plan stays for the next run to finish it, without an error now.
void replaceWorkTables(ScratchFolder& staging, const std::filesystem::path& workFolder,
                       std::span<const data::WorkTable> tables);

}  // namespace thq::exporter
