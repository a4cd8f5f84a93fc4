#include "export/work_folder_repair.hpp"

#include <optional>
#include <utility>

#include "data/error.hpp"
#include "data/platform_file.hpp"

namespace thq::exporter {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kOurPrefix = ".transhoralis-";
constexpr std::string_view kFirstLine = "transhoralis table swap 1";
constexpr std::string_view kLastLine = "end";
constexpr std::uint64_t kLargestJournal = std::uint64_t{64} * 1024;

fs::path journalPath(const fs::path& workFolder) { return workFolder / std::string(kJournalName); }

std::string shown(const fs::path& path) { return platform::displayPath(path); }

std::string tableFileName(data::WorkTable table) {
    return data::tableFile("", table).filename().string();
}

std::string indexFileName(data::WorkTable table) {
    return data::indexFile("", table).filename().string();
}

std::optional<data::WorkTable> exportTableNamed(std::string_view name) {
    for (const auto table : data::exportTables()) {
        if (data::layoutOf(table).name == name) return table;
    }
    return std::nullopt;
}

std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> out;
    while (!text.empty()) {
        const auto end = text.find('\n');
        out.push_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return out;
}

// The plan, or nothing when the file is not one that writeJournal wrote (cut short, changed,
// naming folders outside the work folder or tables that the export does not write).
std::optional<SwapPlan> parseJournal(std::string_view text) {
    const auto all = lines(text);
    if (all.size() < 4 || all.front() != kFirstLine || all.back() != kLastLine) return {};
    SwapPlan plan;
    for (std::size_t i = 1; i + 1 < all.size(); ++i) {
        const std::string_view line = all[i];
        const auto space = line.find(' ');
        if (space == std::string_view::npos) return {};
        const std::string_view key = line.substr(0, space);
        const std::string_view value = line.substr(space + 1);
        if (key == "staging" && plan.stagingName.empty() && isScratchFolderName(value, "export")) {
            plan.stagingName = std::string(value);
        } else if (key == "backup" && plan.backupName.empty() &&
                   isScratchFolderName(value, "backup")) {
            plan.backupName = std::string(value);
        } else if (key == "table" && exportTableNamed(value)) {
            plan.tables.push_back(*exportTableNamed(value));
        } else {
            return {};
        }
    }
    if (plan.stagingName.empty() || plan.backupName.empty() || plan.tables.empty()) return {};
    return plan;
}

std::string journalText(const SwapPlan& plan) {
    std::string text = std::string(kFirstLine) + "\n";
    text += "staging " + plan.stagingName + "\n";
    text += "backup " + plan.backupName + "\n";
    for (const auto table : plan.tables) {
        text += "table " + std::string(data::layoutOf(table).name) + "\n";
    }
    return text + std::string(kLastLine) + "\n";
}

SwapPlan readJournal(const fs::path& workFolder) {
    const fs::path path = journalPath(workFolder);
    auto file =
        platform::File::open(path, platform::OpenIntent::ReadOnly, platform::ShareMode::Shared);
    const std::uint64_t size = file.size();
    std::string text;
    if (size <= kLargestJournal) {
        text.resize(static_cast<std::size_t>(size));
        text.resize(file.readAt(0, text.data(), text.size()));
    }
    file.close();
    auto plan = parseJournal(text);
    if (!plan) {
        throw Error(ErrorKind::InputOutput,
                    fileMessage(shown(path),
                                "el plan de una sustitución de tablas interrumpida está dañado"),
                    "Las tablas de " + shown(workFolder) +
                        " pueden estar mezcladas; no se ha tocado nada. Compruébelas (las "
                        "anteriores pueden estar en una carpeta .transhoralis-backup-) y borre "
                        "después este archivo.");
    }
    return *plan;
}

bool journalExists(const fs::path& workFolder) {
    return platform::fileExists(journalPath(workFolder));
}

// The repair of one work folder, with what it has to tell.
class Repair {
public:
    explicit Repair(fs::path workFolder) : work_(std::move(workFolder)) {}

    std::vector<std::string> run() {
        // The folders a plan names are dealt with as it says (and stay when it stays).
        std::optional<SwapPlan> plan;
        if (journalExists(work_)) {
            plan = readJournal(work_);
            resolve(*plan);
        }
        for (const auto& entry : platform::listFolder(work_)) {
            const std::string name = entry.name.string();
            if (!name.starts_with(kOurPrefix) || name == kJournalName) continue;
            if (plan && (name == plan->stagingName || name == plan->backupName)) continue;
            const fs::path path = work_ / entry.name;
            if (!entry.isFolder && platform::isTemporaryFileName(name)) {
                // Held while a save is under way; removed only once its writer is gone.
                platform::removeAbandonedFile(path);
            } else if (entry.isFolder && isScratchFolderName(name, "export")) {
                try {
                    removeStaging(path, {data::exportTables().begin(), data::exportTables().end()});
                } catch (const Error& error) {
                    report(path, std::string("no se puede borrar (") + error.what() + ")");
                }
            } else if (entry.isFolder && isScratchFolderName(name, "backup")) {
                // Without a plan a backup is removed only when empty: what is in it might be
                // the only copy of an old table, and nothing says where it belongs.
                if (!platform::removeEmptyFolder(path)) {
                    report(path,
                           "guarda archivos de una exportación anterior que ningún plan explica; "
                           "se deja como está");
                }
            } else {
                report(path, "no se sabe qué ejecución lo dejó; se deja como está");
            }
        }
        return std::move(notices_);
    }

private:
    void report(const fs::path& path, const std::string& text) {
        notices_.push_back(fileMessage(shown(path), text));
    }

    // Puts the tables right as the plan says. False when they are right but the plan could
    // not be removed: it stays, with what it names, and the next run finishes.
    bool resolve(const SwapPlan& plan) {
        const fs::path staging = work_ / plan.stagingName;
        const fs::path backup = work_ / plan.backupName;
        bool anyStaged = false;
        for (const auto table : plan.tables) {
            anyStaged = anyStaged || platform::fileExists(data::tableFile(staging, table));
        }
        try {
            return anyStaged ? undo(plan, staging, backup) : complete(plan, staging, backup);
        } catch (const Error& error) {
            throw error.withDetail(
                "Una exportación se interrumpió mientras sustituía las tablas de " + shown(work_) +
                " y no se han podido poner en orden; el plan se conserva en " +
                shown(journalPath(work_)) + " y la próxima ejecución lo volverá a intentar.");
        }
    }

    // Every new table had been moved in: only the old copies and the plan remain to go.
    bool complete(const SwapPlan& plan, const fs::path& staging, const fs::path& backup) {
        for (const auto table : plan.tables) {
            if (!platform::fileExists(data::tableFile(work_, table))) {
                throw Error(ErrorKind::InputOutput,
                            fileMessage(shown(data::tableFile(work_, table)),
                                        "falta la tabla nueva de una exportación interrumpida"));
            }
        }
        notices_.push_back(fileMessage(
            shown(work_),
            "se ha terminado una exportación que se interrumpió mientras sustituía las tablas: "
            "la carpeta tiene las tablas nuevas"));
        // The tables are right; what follows is housekeeping, tried again by the next run
        // while the plan stays.
        try {
            platform::flushFolder(work_);  // the new tables' names on disk before the old go
            if (platform::isDirectory(backup)) {
                for (const auto& entry : platform::listFolder(backup)) {
                    const fs::path path = backup / entry.name;
                    if (entry.isFolder || !isPlannedFile(plan, entry.name.string(), true)) {
                        report(path, "no es de esta aplicación; se deja como está");
                    } else if (!platform::removeFileQuietly(path)) {
                        throw Error(ErrorKind::InputOutput,
                                    fileMessage(shown(path), "no se puede borrar"));
                    }
                }
                platform::removeEmptyFolder(backup);
            }
            removeStaging(staging, plan.tables);
        } catch (const Error& error) {
            report(work_, std::string("no se han podido borrar las tablas anteriores (") +
                              error.what() + "); se volverá a intentar");
            return false;
        }
        return dropJournal(work_);
    }

    // Some new tables were still waiting: every move is taken back, newest first.
    bool undo(const SwapPlan& plan, const fs::path& staging, const fs::path& backup) {
        for (auto table = plan.tables.rbegin(); table != plan.tables.rend(); ++table) {
            const fs::path waiting = data::tableFile(staging, *table);
            const fs::path placed = data::tableFile(work_, *table);
            // A table missing from the staging folder was moved in: what has its name is new.
            if (!platform::fileExists(waiting) && platform::fileExists(placed)) {
                platform::renameReplacing(placed, waiting);
            }
        }
        bool backupEmptied = true;
        if (platform::isDirectory(backup)) {
            for (const auto& entry : platform::listFolder(backup)) {
                const fs::path path = backup / entry.name;
                const fs::path home = work_ / entry.name;
                if (entry.isFolder || !isPlannedFile(plan, entry.name.string(), true)) {
                    report(path, "no es de esta aplicación; se deja como está");
                    backupEmptied = false;
                } else if (platform::fileExists(home)) {
                    // Never happens by our moves; the copy in the work folder is kept.
                    report(path,
                           "hay otro archivo con su nombre en la carpeta de trabajo; se "
                           "dejan los dos como están");
                    backupEmptied = false;
                } else {
                    platform::renameReplacing(path, home);
                }
            }
        }
        platform::flushFolder(work_);  // the old names back on disk before the plan goes
        notices_.push_back(fileMessage(
            shown(work_),
            "se ha deshecho una exportación que se interrumpió mientras sustituía las tablas: "
            "la carpeta vuelve a tener las tablas anteriores"));
        // While the plan is there the staging folder must stay: the plan says its tables are
        // the new ones.
        if (!dropJournal(work_)) return false;
        try {
            removeStaging(staging, plan.tables);
        } catch (const Error& error) {
            report(staging, std::string("no se puede borrar (") + error.what() + ")");
        }
        if (backupEmptied) platform::removeEmptyFolder(backup);
        return true;
    }

    static bool isPlannedFile(const SwapPlan& plan, const std::string& name, bool withIndexes) {
        for (const auto table : plan.tables) {
            if (name == tableFileName(table)) return true;
            if (withIndexes && name == indexFileName(table)) return true;
        }
        return false;
    }

    // A staging folder holds new tables that never took their place (or nothing): removed
    // when it holds nothing else.
    void removeStaging(const fs::path& staging, const std::vector<data::WorkTable>& tables) {
        if (!platform::isDirectory(staging)) return;
        const SwapPlan tablesOnly{"", "", tables};
        for (const auto& entry : platform::listFolder(staging)) {
            if (entry.isFolder || !isPlannedFile(tablesOnly, entry.name.string(), false)) {
                report(staging / entry.name, "no es de esta aplicación; se deja como está");
                return;
            }
        }
        platform::removeFolderTree(staging);
    }

    fs::path work_;
    std::vector<std::string> notices_;
};

}  // namespace

bool isScratchFolderName(std::string_view name, std::string_view purpose) {
    const std::string start = std::string(kOurPrefix) + std::string(purpose) + "-";
    if (!name.starts_with(start) || name.size() == start.size()) return false;
    for (const char c : name.substr(start.size())) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

void writeJournal(const fs::path& workFolder, const SwapPlan& plan) {
    platform::writeFileAtomically(journalPath(workFolder), journalText(plan));
}

bool dropJournal(const fs::path& workFolder) noexcept {
    try {
        const fs::path path = journalPath(workFolder);
        if (platform::fileExists(path) && !platform::removeFileQuietly(path)) return false;
        platform::flushFolder(workFolder);
        return true;
    } catch (...) {
        return false;
    }
}

std::vector<std::string> repairLockedWorkFolder(const fs::path& workFolder) {
    return Repair(workFolder).run();
}

std::vector<std::string> repairWorkFolder(const fs::path& workFolder) {
    if (!platform::isDirectory(workFolder)) return {};
    bool anyOfOurs = false;
    for (const auto& entry : platform::listFolder(workFolder)) {
        anyOfOurs = anyOfOurs || entry.name.string().starts_with(kOurPrefix);
    }
    if (!anyOfOurs) return {};
    std::optional<platform::FolderLock> lock;
    try {
        lock.emplace(workFolder);
    } catch (const Error& error) {
        if (error.kind() != ErrorKind::InUse) {
            // A folder this run cannot claim (read-only, say) is left to a run that can,
            // unless its tables are half replaced.
            if (journalExists(workFolder)) throw;
            return {};
        }
        // An export is running: the leftovers are its own. Only its plan matters here.
        if (!journalExists(workFolder)) return {};
        throw Error(ErrorKind::InUse,
                    fileMessage(shown(workFolder),
                                "una exportación está sustituyendo ahora las tablas de esta "
                                "carpeta de trabajo"),
                    "Vuelva a intentarlo cuando termine.");
    }
    return Repair(workFolder).run();
}

}  // namespace thq::exporter
