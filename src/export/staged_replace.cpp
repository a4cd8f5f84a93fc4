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
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            path_ = std::move(candidate);
            return;
        }
        if (ec) {
            throw Error(fileMessage(platform::displayPath(candidate),
                                    "no se puede crear la carpeta: " + ec.message()));
        }
    }
    throw Error(
        fileMessage(platform::displayPath(workFolder), "no se puede crear una carpeta temporal"));
}

ScratchFolder::~ScratchFolder() {
    if (kept_) return;
    std::error_code ec;
    fs::remove_all(path_, ec);
}

namespace {

// Fails, naming the table, while another program holds it.
void ensureNotInUse(const fs::path& table) {
    platform::File::open(table, platform::OpenIntent::ReadWrite, platform::ShareMode::Exclusive)
        .close();
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
    for (auto table : tables) {
        const fs::path current = data::tableFile(workFolder, table);
        if (platform::fileExists(current)) ensureNotInUse(current);
    }
    ScratchFolder backup(workFolder, "backup");
    std::vector<Move> done;
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
    } catch (const Error& error) {
        if (!undo(done)) {
            // Never delete the only copy of the old tables.
            backup.keep();
            throw Error(error.what(), "Las tablas anteriores se conservan en " +
                                          platform::displayPath(backup.path()));
        }
        throw;
    }
}

}  // namespace thq::exporter
