// A failing disk at every step: the file adapter of a test build (TH_FAULT_INJECTION) fails
// the n-th mutating call of a run, and the walks below try every n of an export and of an
// import on the sample school, with a full disk and with an input/output error. After each
// run the work folder and the result hold the old state or the new one, never a mix and never
// a leftover temporary file, and the run's error names the file it failed on.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "data/dbf_table.hpp"
#include "data/error.hpp"
#include "data/platform_file.hpp"
#include "demo_soluc/demo_solution.hpp"
#include "export/export_run.hpp"
#include "export/staged_replace.hpp"
#include "export/work_folder_repair.hpp"
#include "export_fixture.hpp"
#include "import/import_run.hpp"
#include "test_support.hpp"

namespace thq::test {
namespace {

namespace fs = std::filesystem;
using Snapshot = std::map<std::string, std::string>;

#ifdef TH_FAULT_INJECTION
namespace faults = platform::testing;
using faults::CallKind;

// Fails the n-th mutating call while it lives; counting only for n = 0.
class ArmedFault {
public:
    ArmedFault(std::size_t n, int error) { faults::failNthCall(n, error); }
    ~ArmedFault() { faults::resetFaults(); }
    ArmedFault(const ArmedFault&) = delete;
    ArmedFault& operator=(const ArmedFault&) = delete;
};

bool isLeftoverName(const std::string& relative) {
    const std::string name = fs::path(relative).filename().string();
    return relative.rfind(".transhoralis-", 0) == 0 || name.find(".tmp-") != std::string::npos;
}

// A table's last-update date (bytes 1..3) depends on the day the test runs; everything else
// must match byte for byte.
Snapshot withoutDates(Snapshot snapshot) {
    for (auto& [name, bytes] : snapshot) {
        if (name.ends_with(".DBF") && bytes.size() > 4) bytes.replace(1, 3, 3, '\0');
    }
    return snapshot;
}

Snapshot take(const fs::path& folder) { return withoutDates(snapshotFolder(folder)); }

// Puts the folder's contents back as the snapshot has them.
void restore(const fs::path& folder, const Snapshot& snapshot) {
    fs::remove_all(folder);
    fs::create_directory(folder);
    for (const auto& [name, bytes] : snapshot) {
        if (name.ends_with("/")) {
            fs::create_directories(folder / name);
        } else {
            writeFile(folder / name, bytes);
        }
    }
}

// The entries of `after` that are not leftovers, and the leftovers apart.
struct Split {
    Snapshot kept;
    Snapshot leftovers;
};
Split splitLeftovers(const Snapshot& after) {
    Split split;
    for (const auto& [name, bytes] : after) {
        (isLeftoverName(name) ? split.leftovers : split.kept)[name] = bytes;
    }
    return split;
}

const char* errorName(int error) { return error == ENOSPC ? "ENOSPC" : "EIO"; }
// What the messages say of each, in the user's language.
const char* spanishReason(int error) {
    return error == ENOSPC ? "no queda espacio en el disco" : "error de entrada/salida";
}

std::string describe(const std::vector<faults::Call>& log, std::size_t n) {
    if (n == 0 || n > log.size()) return "call " + std::to_string(n) + " (not made)";
    static const char* const kNames[] = {"create",        "open for writing", "write",  "truncate",
                                         "flush file",    "flush folder",     "rename", "remove",
                                         "create folder", "remove folder"};
    const auto& call = log[n - 1];
    return "call " + std::to_string(n) + ": " + kNames[static_cast<int>(call.kind)] + " " +
           call.subject.string();
}

// A path with the random part of the scratch folders' names taken out, so that the calls of
// two runs compare.
std::string withoutScratchNumbers(const fs::path& path) {
    static const std::regex scratch(R"((\.transhoralis-[a-z]+-)[0-9]+)");
    return std::regex_replace(path.string(), scratch, "$1#");
}

// The first segment of a path relative to the work folder: ".transhoralis-backup-123" etc.
std::string topName(const fs::path& path, const fs::path& work) {
    const auto relative = path.lexically_relative(work);
    return relative.empty() ? std::string() : relative.begin()->string();
}

constexpr const char* kJournal = ".transhoralis-journal";

// The call that makes a replacement final: the work folder's flush after the last new table
// was moved in from the staging folder (1-based; 0 when the log has none).
std::size_t pointOfNoReturn(const std::vector<faults::Call>& log, const fs::path& work) {
    std::size_t lastMoveIn = 0;
    for (std::size_t i = 0; i < log.size(); ++i) {
        const auto folder = log[i].subject.parent_path().filename().string();
        if (log[i].kind == CallKind::Rename && folder.rfind(".transhoralis-export-", 0) == 0) {
            lastMoveIn = i + 1;
        }
    }
    for (std::size_t i = lastMoveIn; i < log.size(); ++i) {
        if (log[i].kind == CallKind::FlushFolder && log[i].subject == work) return i + 1;
    }
    return 0;
}

// "" when every table of the folder opens exclusively, else the first error.
std::string tablesAreFree(const fs::path& work) {
    for (const auto& entry : fs::directory_iterator(work)) {
        if (entry.path().extension() != ".DBF") continue;
        try {
            data::DbfTable table(entry.path());
            table.open(data::OpenMode::Exclusive);
            table.close();
        } catch (const Error& e) {
            return e.what();
        }
    }
    return {};
}

// ---------------------------------------------------------------------------------------
// Export.

class ExportFaultWalk : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(work_);
        // The old state: an earlier export of a small document, an index for one table, one
        // table missing (it must stay missing after a failure) and files of others.
        writeFile(document_, schoolXml({{"PROFESORES", {{"1", "a", "Uno", "UNO"}}}}));
        exporter::runExport(document_, work_);
        writeFile(work_ / "ASIGNOMT.MDX", "index of the old catalogue");
        fs::remove(work_ / "DIASHORAST.DBF");
        writeFile(work_ / "SOLUC.DBF", "the timetable program's own");
        writeFile(work_ / "SOLUC.MDX", "its index");
        oldBytes_ = snapshotFolder(work_);
        old_ = withoutDates(oldBytes_);
        writeFile(document_, readFile(sourceDir() / "samples" / "ies-sierra-de-la-vega.xml"));
    }

    // An undisturbed run: the new state, the number of calls and their log.
    void learnTheNewState() {
        ArmedFault counting(0, 0);
        ASSERT_EQ(exporter::runExport(document_, work_), exporter::ExportOutcome::Completed);
        log_ = faults::callLog();
        new_ = take(work_);
        restore(work_, oldBytes_);
    }

    TempDir dir_;
    fs::path work_ = dir_ / "HTEMP";
    fs::path document_ = dir_ / "school.xml";
    Snapshot oldBytes_;
    Snapshot old_;
    Snapshot new_;
    std::vector<faults::Call> log_;
};

TEST_F(ExportFaultWalk, EveryFailingCallLeavesTheOldTablesOrTheNewOnes) {
    learnTheNewState();
    const std::size_t calls = log_.size();
    ASSERT_GT(calls, 8u * 5) << "each table is created, written, flushed and moved";
    ASSERT_NE(old_, new_);
    std::cout << "[ walk     ] export of the sample school: " << calls << " mutating calls\n";

    std::size_t failures = 0;
    std::size_t completedAfterTheSwap = 0;
    for (const int error : {ENOSPC, EIO}) {
        for (std::size_t n = 1; n <= calls; ++n) {
            SCOPED_TRACE(std::string(errorName(error)) + " at " + describe(log_, n));
            restore(work_, oldBytes_);
            std::optional<std::string> message;
            fs::path failed;
            {
                ArmedFault fault(n, error);
                try {
                    EXPECT_EQ(exporter::runExport(document_, work_),
                              exporter::ExportOutcome::Completed);
                } catch (const Error& e) {
                    message = e.what();
                }
                failed = faults::failedCallPath();
                ASSERT_EQ(faults::callLog().size() >= n, true) << "the run took fewer calls";
            }
            ASSERT_EQ(withoutScratchNumbers(failed), withoutScratchNumbers(log_[n - 1].subject))
                << "the runs took different calls";
            const Snapshot after = take(work_);
            if (message) {
                ++failures;
                // Failed: the old state exactly, nothing left over, the file named.
                EXPECT_EQ(after, old_);
                EXPECT_NE(message->find(platform::displayPath(failed)), std::string::npos)
                    << *message;
                EXPECT_NE(message->find(spanishReason(error)), std::string::npos) << *message;
                continue;
            }
            // Completed although a call failed: only the housekeeping after the new tables were
            // in place and on disk may fail that way (see replaceWorkTables). The tables are the
            // new ones; what is left over is that hidden folder, holding nothing but replaced
            // files of the old state, and the plan that lets the next run finish the clearing.
            ++completedAfterTheSwap;
            const auto log = log_[n - 1];
            EXPECT_TRUE(log.kind == CallKind::Remove || log.kind == CallKind::RemoveFolder ||
                        (log.kind == CallKind::FlushFolder && log.subject == work_))
                << "a " << describe(log_, n);
            const std::string top = topName(failed, work_);
            EXPECT_TRUE(top.rfind(".transhoralis-backup-", 0) == 0 ||
                        top.rfind(".transhoralis-export-", 0) == 0 || top == kJournal ||
                        failed == work_)
                << failed;
            const auto split = splitLeftovers(after);
            EXPECT_EQ(split.kept, new_);
            for (const auto& [name, bytes] : split.leftovers) {
                if (name == kJournal) continue;
                EXPECT_EQ(name.rfind(top, 0), 0u) << name << " is not in " << top;
                if (name.ends_with("/")) continue;
                const std::string original = fs::path(name).filename().string();
                ASSERT_TRUE(old_.count(original)) << name;
                EXPECT_EQ(bytes, old_.at(original)) << name;
            }
            // Every such call comes after the point of no return: the work folder's flush
            // after the last new table moved in.
            EXPECT_GT(n, pointOfNoReturn(log_, work_));
            // The next run in the folder clears away whatever the failure left.
            exporter::repairWorkFolder(work_);
            EXPECT_EQ(take(work_), new_);
        }
    }
    // Completed only at removing each old file from the backup, the backup folder, the plan
    // and the folder flush after it, and the emptied staging folder, with either error.
    std::size_t oldFiles = 0;
    for (const auto table : data::exportTables()) {
        oldFiles += old_.count(data::tableFile("", table).string()) +
                    old_.count(data::indexFile("", table).string());
    }
    EXPECT_EQ(oldFiles, 8u) << "seven old tables and one index";
    EXPECT_EQ(completedAfterTheSwap, 2 * (oldFiles + 4));
    EXPECT_EQ(failures + completedAfterTheSwap, 2 * calls);
}

TEST_F(ExportFaultWalk, TablesAreOnDiskBeforeTheyTakeTheirNames) {
    learnTheNewState();
    // Each table moved into the work folder was flushed after its last change, and the work
    // folder's entries are flushed after the last move.
    std::map<fs::path, std::size_t> lastChange;
    std::map<fs::path, std::size_t> lastFlush;
    std::size_t lastMoveIn = 0;
    std::size_t movesIn = 0;
    for (std::size_t i = 0; i < log_.size(); ++i) {
        const auto& call = log_[i];
        switch (call.kind) {
            case CallKind::Create:
            case CallKind::Write:
            case CallKind::Truncate:
                lastChange[call.subject] = i + 1;
                break;
            case CallKind::FlushFile:
                lastFlush[call.subject] = i + 1;
                break;
            case CallKind::Rename:
                if (call.subject.parent_path().filename().string().rfind(".transhoralis-export-",
                                                                         0) == 0) {
                    SCOPED_TRACE(call.subject.string());
                    ASSERT_TRUE(lastChange.count(call.subject));
                    EXPECT_GT(lastFlush[call.subject], lastChange[call.subject]);
                    lastMoveIn = i + 1;
                    ++movesIn;
                }
                break;
            default:
                break;
        }
    }
    EXPECT_EQ(movesIn, data::exportTables().size());
    bool flushedAfter = false;
    for (std::size_t i = lastMoveIn; i < log_.size(); ++i) {
        if (log_[i].kind == CallKind::FlushFolder && log_[i].subject == work_) flushedAfter = true;
    }
    EXPECT_TRUE(flushedAfter);
}

TEST_F(ExportFaultWalk, ADiskThatStopsWorkingNeverLosesAnOldTable) {
    // Several calls in a row fail from the n-th on (two, or all), so also the undo of the
    // moves may fail. Then the work folder cannot be put back, but no old table is lost: each
    // is in its place or in the backup folder that the error's detail names, and a backup is
    // never removed while it holds one. Once the disk works again, the next run puts the
    // folder back: all old tables or all new ones, and nothing left over.
    learnTheNewState();
    const std::size_t calls = log_.size();
    std::size_t keptBackups = 0;
    for (const std::size_t count : {std::size_t{2}, SIZE_MAX}) {
        for (std::size_t n = 1; n <= calls; ++n) {
            SCOPED_TRACE("EIO for " +
                         (count == SIZE_MAX ? std::string("all") : std::to_string(count)) +
                         " calls from " + describe(log_, n));
            restore(work_, oldBytes_);
            std::optional<Error> error;
            {
                ArmedFault fault(0, 0);
                faults::failCalls(n, count, EIO);
                try {
                    exporter::runExport(document_, work_);
                } catch (const Error& e) {
                    error = e;
                }
            }
            const Snapshot after = take(work_);
            const auto split = splitLeftovers(after);
            std::set<std::string> backups;
            for (const auto& [name, bytes] : split.leftovers) {
                if (name.rfind(".transhoralis-backup-", 0) == 0) {
                    backups.insert(name.substr(0, name.find('/')));
                }
            }
            const auto repaired = [&] {
                exporter::repairWorkFolder(work_);
                return take(work_);
            };
            if (!error) {
                // Only the housekeeping after the point of no return failed.
                EXPECT_EQ(split.kept, new_);
                EXPECT_EQ(repaired(), new_);
                continue;
            }
            for (const auto& [name, bytes] : old_) {
                if (after.count(name) && after.at(name) == bytes) continue;
                bool inBackup = false;
                for (const auto& backup : backups) {
                    if (after.count(backup + "/" + name) &&
                        after.at(backup + "/" + name) == bytes) {
                        inBackup = true;
                        EXPECT_NE(error->detail().find(platform::displayPath(work_ / backup)),
                                  std::string::npos)
                            << error->detail();
                    }
                }
                EXPECT_TRUE(inBackup) << name << " is lost";
            }
            if (!backups.empty() && split.kept != old_) ++keptBackups;
            const Snapshot next = repaired();
            EXPECT_TRUE(next == old_ || next == new_) << "a mixed folder after the repair";
        }
    }
    EXPECT_GT(keptBackups, 0u) << "some walk steps keep the old tables in the backup";
}

// ---------------------------------------------------------------------------------------
// Kills: the run stopped at its n-th call in a child process, nothing cleaned up, as a kill or
// a power cut after that call leaves the files; then the next run on the folder.

// Runs `action` in a child stopped at its n-th mutating call; true when it was stopped there,
// false when it finished first (successfully).
bool killedAt(std::size_t n, const std::function<void()>& action) {
    const int code = runInChild([&] {
        faults::stopAtNthCall(n);
        action();
        return 0;
    });
    EXPECT_TRUE(code == 0 || code == faults::kStoppedExitCode) << "the child ended with " << code;
    return code == faults::kStoppedExitCode;
}

TEST_F(ExportFaultWalk, AKillAtAnyCallLeavesAFolderThatTheNextRunPutsInOrder) {
    learnTheNewState();
    std::size_t endedOld = 0;
    std::size_t endedNew = 0;
    std::size_t plansFound = 0;
    for (std::size_t n = 1; n <= log_.size(); ++n) {
        SCOPED_TRACE("killed at " + describe(log_, n));
        restore(work_, oldBytes_);
        ASSERT_TRUE(killedAt(n, [&] { exporter::runExport(document_, work_); }));
        const bool planLeft = fs::exists(work_ / kJournal);
        plansFound += planLeft ? 1 : 0;
        // The next run: an import, a dump or another export begins with this.
        const auto notices = exporter::repairWorkFolder(work_);
        const Snapshot after = take(work_);
        EXPECT_TRUE(after == old_ || after == new_) << "a mixed folder or leftovers";
        (after == old_ ? endedOld : endedNew) += 1;
        // Finishing or undoing is said; removing leftovers is not, and nothing is unexplained.
        EXPECT_EQ(notices.size(), planLeft ? 1u : 0u);
        for (const auto& notice : notices) {
            EXPECT_NE(notice.find(after == old_ ? "se ha deshecho" : "se ha terminado"),
                      std::string::npos)
                << notice;
        }
    }
    EXPECT_GT(endedOld, 0u);
    EXPECT_GT(endedNew, 0u);
    // A plan at every move and during the clearing away: seven old tables and an index moved
    // aside, eight new tables moved in.
    EXPECT_GT(plansFound, 16u);
}

TEST_F(ExportFaultWalk, ARepairKilledAtAnyCallIsFinishedByTheRunAfterIt) {
    // The export killed in each kind of state its plan can describe: old tables half moved
    // aside, new tables half moved in, old copies half cleared away. Each repair of that is
    // killed in turn at every call it makes, and the run after it must end where an
    // undisturbed repair ends.
    learnTheNewState();
    const auto callsWhere = [&](auto&& wanted) {
        std::vector<std::size_t> found;
        for (std::size_t i = 0; i < log_.size(); ++i) {
            if (wanted(log_[i])) found.push_back(i + 1);
        }
        return found;
    };
    const auto inFolder = [](const faults::Call& call, const char* start) {
        return call.subject.parent_path().filename().string().rfind(start, 0) == 0;
    };
    const auto asides = callsWhere([&](const faults::Call& call) {
        return call.kind == CallKind::Rename && call.subject.parent_path() == work_;
    });
    const auto ins = callsWhere([&](const faults::Call& call) {
        return call.kind == CallKind::Rename && inFolder(call, ".transhoralis-export-");
    });
    const auto clearing = callsWhere([&](const faults::Call& call) {
        return call.kind == CallKind::Remove && inFolder(call, ".transhoralis-backup-");
    });
    ASSERT_GT(asides.size(), 2u);
    ASSERT_GT(ins.size(), 2u);
    ASSERT_GT(clearing.size(), 2u);
    for (const std::size_t n :
         {asides[asides.size() / 2], ins[ins.size() / 2], clearing[clearing.size() / 2]}) {
        restore(work_, oldBytes_);
        ASSERT_TRUE(killedAt(n, [&] { exporter::runExport(document_, work_); }));
        ASSERT_TRUE(fs::exists(work_ / kJournal));
        const Snapshot killed = snapshotFolder(work_);
        std::size_t repairCalls = 0;
        Snapshot repaired;
        {
            ArmedFault counting(0, 0);
            exporter::repairWorkFolder(work_);
            repairCalls = faults::callsSoFar();
            repaired = take(work_);
        }
        EXPECT_TRUE(repaired == old_ || repaired == new_);
        for (std::size_t m = 1; m <= repairCalls; ++m) {
            SCOPED_TRACE("export killed at " + describe(log_, n) + ", its repair at call " +
                         std::to_string(m));
            restore(work_, killed);
            ASSERT_TRUE(killedAt(m, [&] { exporter::repairWorkFolder(work_); }));
            exporter::repairWorkFolder(work_);
            EXPECT_EQ(take(work_), repaired);
        }
    }
}

// ---------------------------------------------------------------------------------------
// Import.

class ImportFaultWalk : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(work_);
        fs::create_directory(docs_);
        writeFile(document_, readFile(sourceDir() / "samples" / "ies-sierra-de-la-vega.xml"));
        exporter::runExport(document_, work_);
        demo::writeDemoSolution(work_);
        tables_ = snapshotFolder(work_);
    }

    TempDir dir_;
    fs::path work_ = dir_ / "HTEMP";
    fs::path docs_ = dir_ / "quelva";
    fs::path document_ = docs_ / "sierra.xml";
    fs::path result_ = docs_ / "ResultadoHoralissierra.xml";
    Snapshot tables_;
};

TEST_F(ImportFaultWalk, EveryFailingCallLeavesTheEarlierResultOrTheNewOne) {
    for (const bool earlierResult : {true, false}) {
        SCOPED_TRACE(earlierResult ? "over an earlier result" : "no earlier result");
        fs::remove(result_);
        if (earlierResult) writeFile(result_, "<SERVICIO><SALIDAS/></SERVICIO>\n");
        const Snapshot old = snapshotFolder(docs_);

        std::vector<faults::Call> log;
        {
            ArmedFault counting(0, 0);
            ASSERT_EQ(importer::runImport(document_, work_).outcome,
                      importer::ImportOutcome::Completed);
            log = faults::callLog();
        }
        const Snapshot fresh = snapshotFolder(docs_);
        ASSERT_NE(fresh, old);
        const std::size_t calls = log.size();
        // The tables are only read (not counted); the result is saved in steps.
        ASSERT_GE(calls, 5u) << "the result saved in steps";
        std::cout << "[ walk     ] import of the sample school: " << calls << " mutating calls\n";
        // The save's last step, the folder flush, comes after the new result took its name.
        ASSERT_EQ(log.back().kind, CallKind::FlushFolder);

        for (const int error : {ENOSPC, EIO}) {
            for (std::size_t n = 1; n <= calls; ++n) {
                SCOPED_TRACE(std::string(errorName(error)) + " at " + describe(log, n));
                fs::remove(result_);
                restore(docs_, old);
                std::string message;
                fs::path failed;
                {
                    ArmedFault fault(n, error);
                    try {
                        importer::runImport(document_, work_);
                        ADD_FAILURE() << "the import did not fail";
                    } catch (const Error& e) {
                        message = e.what();
                    }
                    failed = faults::failedCallPath();
                }
                ASSERT_EQ(failed, log[n - 1].subject);
                EXPECT_NE(message.find(platform::displayPath(failed)), std::string::npos)
                    << message;
                EXPECT_NE(message.find(spanishReason(error)), std::string::npos) << message;
                // The tables are read, never changed, and free again.
                EXPECT_EQ(snapshotFolder(work_), tables_);
                EXPECT_EQ(tablesAreFree(work_), "");
                // Old before the rename, new once it is done (the failing flush of the folder
                // after it cannot take the new name back; its error says the result may not be
                // on disk). Never a temporary file.
                EXPECT_EQ(snapshotFolder(docs_), n == calls ? fresh : old);
            }
        }
    }
}

TEST_F(ImportFaultWalk, AKilledImportLeavesNothingThatTheNextImportDoesNotClearAway) {
    writeFile(result_, "<SERVICIO><SALIDAS/></SERVICIO>\n");
    const Snapshot old = snapshotFolder(docs_);
    std::size_t calls = 0;
    {
        ArmedFault counting(0, 0);
        importer::runImport(document_, work_);
        calls = faults::callsSoFar();
    }
    const Snapshot fresh = snapshotFolder(docs_);
    std::size_t temporariesLeft = 0;
    for (std::size_t n = 1; n <= calls; ++n) {
        SCOPED_TRACE("killed at call " + std::to_string(n));
        restore(docs_, old);
        ASSERT_TRUE(killedAt(n, [&] { importer::runImport(document_, work_); }));
        const Snapshot killed = snapshotFolder(docs_);
        // The earlier result, or the new one once the rename was made; perhaps a temporary.
        EXPECT_TRUE(splitLeftovers(killed).kept == old || splitLeftovers(killed).kept == fresh);
        temporariesLeft += splitLeftovers(killed).leftovers.size();
        EXPECT_EQ(snapshotFolder(work_), tables_);
        importer::runImport(document_, work_);
        EXPECT_EQ(snapshotFolder(docs_), fresh);
    }
    EXPECT_GT(temporariesLeft, 0u) << "kills while the result is written leave its temporary";

    // Earlier versions named their temporary after the result; a save under way right now
    // (its temporary held by its writer) is left alone.
    writeFile(docs_ / ".ResultadoHoralissierra.xml.tmp-0a1b2c3d4e", "half a result");
    writeFile(docs_ / ".ResultadoHoralisotro.xml.tmp-0a1b2c3d4e", "someone else's");
    platform::StagedFile underWay(docs_ / "otro.xml", "being saved");
    importer::runImport(document_, work_);
    const auto split = splitLeftovers(snapshotFolder(docs_));
    EXPECT_EQ(split.kept, fresh);
    ASSERT_EQ(split.leftovers.size(), 2u);
    EXPECT_EQ(split.leftovers.count(".ResultadoHoralisotro.xml.tmp-0a1b2c3d4e"), 1u);
    EXPECT_EQ(split.leftovers.rbegin()->second, "being saved");
    underWay.commit();
    EXPECT_EQ(readFile(docs_ / "otro.xml"), "being saved");
}

TEST_F(ImportFaultWalk, WithAReportEveryFailingCallLeavesTheEarlierResult) {
    // The report is made ready with the result and put in place before it: whatever fails,
    // the earlier result stays unless the run as a whole succeeded (or only the very last
    // flush failed, after the result took its name).
    writeFile(result_, "<SERVICIO><SALIDAS/></SERVICIO>\n");
    const std::string earlier = readFile(result_);
    importer::ImportOptions options;
    options.reportFile = docs_ / "informe.txt";
    std::size_t calls = 0;
    {
        ArmedFault counting(0, 0);
        importer::runImport(document_, work_, options);
        calls = faults::callsSoFar();
    }
    const std::string fresh = readFile(result_);
    ASSERT_NE(fresh, earlier);
    for (std::size_t n = 1; n <= calls; ++n) {
        SCOPED_TRACE("EIO at call " + std::to_string(n));
        writeFile(result_, earlier);
        fs::remove(docs_ / "informe.txt");
        ArmedFault fault(n, EIO);
        EXPECT_NE(errorOf([&] { importer::runImport(document_, work_, options); }), "");
        EXPECT_EQ(readFile(result_), n == calls ? fresh : earlier);
        EXPECT_TRUE(splitLeftovers(snapshotFolder(docs_)).leftovers.empty());
    }
}

TEST_F(ImportFaultWalk, TheResultIsOnDiskBeforeItTakesItsName) {
    ArmedFault counting(0, 0);
    importer::runImport(document_, work_);
    std::vector<CallKind> save;
    for (const auto& call : faults::callLog()) {
        if (call.subject == result_) save.push_back(call.kind);
    }
    EXPECT_EQ(save, (std::vector<CallKind>{CallKind::Create, CallKind::Write, CallKind::FlushFile,
                                           CallKind::Rename, CallKind::FlushFolder}));
}

// ---------------------------------------------------------------------------------------
// The adapter's folder calls under faults.

TEST(ScratchFolderFaults, CreationAndRemovalFailuresNameTheFolder) {
    TempDir dir;
    {
        ArmedFault fault(1, EIO);
        try {
            exporter::ScratchFolder scratch(dir.path(), "export");
            ADD_FAILURE() << "created";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(".transhoralis-export-"), std::string::npos)
                << e.what();
        }
    }
    EXPECT_TRUE(fs::is_empty(dir.path()));

    fs::create_directories(dir / "tree" / "a" / "b");
    writeFile(dir / "tree" / "a" / "b" / "F.DBF", "x");
    writeFile(dir / "tree" / "G.DBF", "y");
    fs::create_symlink(dir / "outside", dir / "tree" / "link");
    fs::create_directory(dir / "outside");
    writeFile(dir / "outside" / "KEEP", "kept");
    std::size_t calls = 0;
    {
        ArmedFault counting(0, 0);
        const auto copy = dir / "copy";
        fs::copy(dir / "tree", copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        platform::removeFolderTree(copy);
        calls = faults::callsSoFar();
        EXPECT_FALSE(fs::exists(copy));
    }
    EXPECT_EQ(calls, 6u) << "two files, a link, three folders";
    for (std::size_t n = 1; n <= calls; ++n) {
        const auto copy = dir / "copy";
        fs::remove_all(copy);
        fs::copy(dir / "tree", copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        ArmedFault fault(n, ENOSPC);
        try {
            platform::removeFolderTree(copy);
            ADD_FAILURE() << "call " << n << " did not fail";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(platform::displayPath(faults::failedCallPath())),
                      std::string::npos)
                << e.what();
        }
    }
    EXPECT_EQ(readFile(dir / "outside" / "KEEP"), "kept") << "a link is never followed";
    platform::removeFolderTree(dir / "nothing-here");  // nothing to remove is no error
}

#else

TEST(FaultWalk, NeedsTheFaultInjector) {
    GTEST_SKIP() << "built without TH_FAULT_INJECTION (scripts/test.sh builds with it)";
}

#endif

}  // namespace
}  // namespace thq::test
