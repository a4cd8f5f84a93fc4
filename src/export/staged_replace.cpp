#include "export/staged_replace.hpp"

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "data/error.hpp"
#include "data/platform_file.hpp"

namespace thq::exporter {
namespace fs = std::filesystem;

ScratchFolder::ScratchFolder(const fs::path& workFolder, std::string_view purpose) {
    if (!platform::isDirectory(workFolder)) {
        throw Error(
            fileMessage(platform::displayPath(workFolder), "la carpeta de trabajo no existe"));
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
    throw Error(
        fileMessage(platform::displayPath(workFolder), "no se puede crear una carpeta temporal"));
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

// Undoes completed moves, newest first; false when one of them could not be undone.
bool undo(const std::vector<Move>& moves) {
    bool complete = true;
    for (auto it = moves.rbegin(); it != moves.rend(); ++it) {
        try {
            platform::renameReplacing(it->to, it->from);
        } catch (const Error&) {
            complete = false;
        }
    }
    return complete;
}

}  // namespace

void replaceWorkTables(const fs::path& stagingFolder, const fs::path& workFolder,
                       std::span<const data::WorkTable> tables) {
    std::vector<platform::File> held;
    for (auto table : tables) {
        const fs::path current = data::tableFile(workFolder, table);
        if (platform::fileExists(current)) held.push_back(holdTable(current));
    }
    ScratchFolder backup(workFolder, "backup");
    // From here on the backup is removed only by this function, and only when it holds
    // nothing that is needed: emptied by an undo, or after the new tables are in place.
    backup.keep();
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
            // Never delete the only copy of the old tables: the backup stays, named.
            std::string what = "no se pudieron sustituir las tablas";
            try {
                throw;
            } catch (const std::exception& error) {
                what = error.what();
            } catch (...) {
            }
            throw Error(what, "Las tablas anteriores se conservan en " +
                                  platform::displayPath(backup.path()));
        }
        try {
            platform::flushFolder(workFolder);  // the old names back on disk, as far as it goes
        } catch (const Error&) {
        }
        held.clear();
        // Empty now; a folder that is not empty is kept rather than emptied.
        platform::removeEmptyFolder(backup.path());
        throw;
    }
    // The new tables are in place and on disk: the export has succeeded. The old tables in
    // the backup are no longer needed; failing to remove them leaves a hidden leftover folder
    // but does not turn the completed replacement into a failure.
    held.clear();  // (files still open could not leave their folder on every system)
    try {
        platform::removeFolderTree(backup.path());
    } catch (const Error&) {
    }
}

}  // namespace thq::exporter
