#include "export/staged_replace.hpp"

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "data/error.hpp"
#include "data/platform_file.hpp"
#include "export/work_folder_repair.hpp"

namespace thq::exporter {
namespace fs = std::filesystem;

ScratchFolder::ScratchFolder(const fs::path& workFolder, std::string_view purpose) {
    if (!platform::isDirectory(workFolder)) {
        throw Error(ErrorKind::InputOutput, fileMessage(platform::displayPath(workFolder),
                                                        "la carpeta de trabajo no existe"));
    }
    std::random_device random;
    for (int attempt = 0; attempt < 50; ++attempt) {
        fs::path candidate =
            workFolder / (".transhoralis-" + std::string(purpose) + "-" + std::to_string(random()));
        if (platform::createFolder(candidate)) {
            path_ = std::move(candidate);
            return;
        }
    }
    throw Error(ErrorKind::InputOutput, fileMessage(platform::displayPath(workFolder),
                                                    "no se puede crear una carpeta temporal"));
}

ScratchFolder::~ScratchFolder() {
    if (kept_) return;
    try {
        platform::removeFolderTree(path_);
    } catch (const Error&) {
        // Only scratch files are lost from sight: a leftover hidden folder, nothing more.
    }
}

namespace {

// Holds a table so no one else can open it until the replacement is done (a reader that
// had opened some tables before the swap and the rest after it would read a mix); fails,
// naming the table, while another program holds it.
platform::File holdTable(const fs::path& table) {
    // For writing: an exclusive lock needs a file open for writing on some systems.
    return platform::File::open(table, platform::OpenIntent::ReadWrite,
                                platform::ShareMode::ExclusiveMovable);
}

struct Move {
    fs::path from;
    fs::path to;
};

// Undoes completed moves, newest first; false when one of them could not be undone. It
// stops there: the files then stand as after some first moves of the plan, which is what the
// repair of the next run reads them as (moving on past a failed step could put an old table
// over a new one that failed to move back, and the new one would pass for old).
bool undo(const std::vector<Move>& moves) {
    for (auto it = moves.rbegin(); it != moves.rend(); ++it) {
        try {
            platform::renameReplacing(it->to, it->from);
        } catch (const Error&) {
            return false;
        }
    }
    return true;
}

}  // namespace

void replaceWorkTables(ScratchFolder& staging, const fs::path& workFolder,
                       std::span<const data::WorkTable> tables) {
    const fs::path& stagingFolder = staging.path();
    std::vector<platform::File> held;
    for (auto table : tables) {
        const fs::path current = data::tableFile(workFolder, table);
        if (platform::fileExists(current)) held.push_back(holdTable(current));
    }
    ScratchFolder backup(workFolder, "backup");
    // From here on the backup is removed only by this function, and only when it holds
    // nothing that is needed: emptied by an undo, or after the new tables are in place.
    backup.keep();
    // Called when the plan has to go while the old tables are in place. The staging folder
    // may be removed only once the plan is gone: while the plan is there it says that the
    // staged tables are the new ones.
    auto dropPlan = [&] {
        if (!dropJournal(workFolder)) staging.keep();
    };
    try {
        // The staged tables' names on disk, then the plan: a power cut from here on leaves
        // both.
        platform::flushFolder(stagingFolder);
        writeJournal(workFolder, SwapPlan{stagingFolder.filename().string(),
                                          backup.path().filename().string(),
                                          {tables.begin(), tables.end()}});
    } catch (...) {
        // The plan may have taken its name before its folder flush failed.
        dropPlan();
        held.clear();
        platform::removeEmptyFolder(backup.path());
        throw;
    }
    std::vector<Move> done;
    // Room for every move up front: recording a move that has happened never fails.
    done.reserve(3 * tables.size());
    try {
        for (auto table : tables) {
            for (const fs::path& old :
                 {data::tableFile(workFolder, table), data::indexFile(workFolder, table)}) {
                if (!platform::fileExists(old)) continue;
                Move move{old, backup.path() / old.filename()};
                platform::renameReplacing(move.from, move.to);
                done.push_back(std::move(move));
            }
        }
        for (auto table : tables) {
            Move move{data::tableFile(stagingFolder, table), data::tableFile(workFolder, table)};
            platform::renameReplacing(move.from, move.to);
            done.push_back(std::move(move));
        }
        platform::flushFolder(workFolder);
    } catch (...) {
        // Whatever stopped the moves (a file error, or even memory running out), they are
        // undone.
        if (!undo(done)) {
            // Never delete the only copy of the old tables: the backup stays, named, and the
            // plan with the staged tables, from which the next run finishes the undoing.
            staging.keep();
            std::string what = "no se pudieron sustituir las tablas";
            try {
                throw;
            } catch (const std::exception& error) {
                what = error.what();
            } catch (...) {
            }
            throw Error(ErrorKind::InputOutput, what,
                        "Las tablas anteriores se conservan en " +
                            platform::displayPath(backup.path()) +
                            "; la próxima ejecución en esta carpeta de trabajo las volverá "
                            "a poner en su sitio.");
        }
        try {
            // The old names back on disk before the plan goes; while that is not sure, the
            // plan stays and the next run looks again.
            platform::flushFolder(workFolder);
            dropPlan();
        } catch (const Error&) {
            staging.keep();
        }
        held.clear();
        // Empty now; a folder that is not empty is kept rather than emptied.
        platform::removeEmptyFolder(backup.path());
        throw;
    }
    // The new tables are in place and on disk: the export has succeeded. The old tables in
    // the backup are no longer needed. Failing to remove them does not turn the completed
    // replacement into a failure: the plan then stays, and the next run in the folder
    // finishes the clearing away.
    held.clear();  // (files still open could not leave their folder on every system)
    try {
        platform::removeFolderTree(backup.path());
    } catch (const Error&) {
        return;
    }
    dropJournal(workFolder);
}

}  // namespace thq::exporter
