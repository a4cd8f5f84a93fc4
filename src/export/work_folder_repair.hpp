#pragma once
// Putting a work folder in order after a run that was killed, or a power cut.
//
// The export replaces the eight tables by moving files: the old ones into a backup folder,
// then the new ones from the staging folder into their place. Before the first move it writes
// its plan (the journal) into the work folder, and it removes the plan last, once the tables
// are all new or all old again. A run that finds a plan knows that a replacement stopped half
// way and puts it right before anything else: when every new table had been moved in it
// finishes the replacement, otherwise it moves everything back. The files themselves say how
// far the moves went, so the repair never guesses; it can itself be stopped at any point and
// run again.
//
// The same pass removes what killed runs of ours leave behind and nothing else: staging
// folders, emptied backup folders, temporary files of unfinished saves. Anything it cannot
// explain is reported and left as it is.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "data/table_layouts.hpp"

namespace thq::exporter {

// The plan file's name in the work folder.
inline constexpr std::string_view kJournalName = ".transhoralis-journal";

// A replacement as the journal records it: where the new tables wait, where the old ones go.
struct SwapPlan {
    std::string stagingName;  // ".transhoralis-export-N", a folder inside the work folder
    std::string backupName;   // ".transhoralis-backup-N"
    std::vector<data::WorkTable> tables;
};

// Writes the plan into the work folder and flushes it and the folder's entries to disk: when
// this returns, a power cut leaves the plan. Throws naming the journal.
void writeJournal(const std::filesystem::path& workFolder, const SwapPlan& plan);
// Removes the plan and flushes the folder; false when either fails (the plan may then still
// be there, and whatever it names must stay for the next run).
bool dropJournal(const std::filesystem::path& workFolder) noexcept;

// For a run that holds the work folder's export lock: completes or undoes an interrupted
// replacement and removes our leftovers. Returns a text for each thing the user should know
// (a replacement finished or undone, a leftover that stays). Throws, leaving every file where
// it is, when the folder cannot be put in order (the plan damaged, a move refused).
std::vector<std::string> repairLockedWorkFolder(const std::filesystem::path& workFolder);

// For the runs that only read the work folder (import, dump, check): the same, claiming the
// lock for the moment of the repair when there is anything to repair. While an export holds
// the lock its leftovers are its own and stay; when it is replacing the tables right now the
// run stops with an error instead of reading a half-replaced set. A folder that does not
// exist has nothing to repair.
std::vector<std::string> repairWorkFolder(const std::filesystem::path& workFolder);

// True for the name of a scratch folder of this purpose (".transhoralis-export-123").
bool isScratchFolderName(std::string_view name, std::string_view purpose);

}  // namespace thq::exporter
