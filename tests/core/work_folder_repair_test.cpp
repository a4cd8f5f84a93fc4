// What the repair of a work folder removes, what it reports and leaves, and when it stops.
// (The kills that leave these states are walked in fault_walk_test.cpp.)
#include "export/work_folder_repair.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "data/error.hpp"
#include "data/platform_file.hpp"
#include "export/export_run.hpp"
#include "export_fixture.hpp"
#include "test_support.hpp"

namespace thq::test {
namespace {

namespace fs = std::filesystem;
using Snapshot = std::map<std::string, std::string>;

constexpr const char* kStaging = ".transhoralis-export-123";
constexpr const char* kBackup = ".transhoralis-backup-456";

std::string plan(const std::vector<std::string>& tables) {
    std::string text = "transhoralis table swap 1\nstaging " + std::string(kStaging) + "\nbackup " +
                       std::string(kBackup) + "\n";
    for (const auto& table : tables) text += "table " + table + "\n";
    return text + "end\n";
}

TEST(WorkFolderRepair, RemovesOnlyWhatItCanExplainAndReportsTheRest) {
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> setUp;
        Snapshot left;                      // what of ours stays (besides TABLA.DBF)
        std::vector<std::string> reported;  // the notices name these ("": the folder itself)
    };
    const auto folder = [](const fs::path& work, const std::string& name) {
        fs::create_directory(work / name);
        return work / name;
    };
    const std::vector<Case> cases = {
        {"a staging folder with tables that never took their place",
         [&](const fs::path& w) {
             writeFile(folder(w, kStaging) / "ASIGT.DBF", "half");
             writeFile(w / kStaging / "PROFT.DBF", "new");
         },
         {},
         {}},
        {"an empty backup folder", [&](const fs::path& w) { folder(w, kBackup); }, {}, {}},
        {"a temporary file whose writer is gone",
         [](const fs::path& w) { writeFile(w / ".transhoralis-0123456789.tmp", "half"); },
         {},
         {}},
        {"a staging folder holding a file that is not ours",
         [&](const fs::path& w) {
             writeFile(folder(w, kStaging) / "ASIGT.DBF", "half");
             writeFile(w / kStaging / "NOTAS.TXT", "mine");
         },
         {{std::string(kStaging) + "/", ""},
          {std::string(kStaging) + "/ASIGT.DBF", "half"},
          {std::string(kStaging) + "/NOTAS.TXT", "mine"}},
         {std::string(kStaging) + "/NOTAS.TXT"}},
        {"a backup holding old tables without a plan (an older version's)",
         [&](const fs::path& w) { writeFile(folder(w, kBackup) / "PROFT.DBF", "old"); },
         {{std::string(kBackup) + "/", ""}, {std::string(kBackup) + "/PROFT.DBF", "old"}},
         {kBackup}},
        {"a name of ours that no run leaves",
         [](const fs::path& w) { writeFile(w / ".transhoralis-otra-cosa", "?"); },
         {{".transhoralis-otra-cosa", "?"}},
         {".transhoralis-otra-cosa"}},
        {"files that are not ours at all",
         [](const fs::path& w) {
             writeFile(w / "SOLUC.DBF", "the timetable program's");
             writeFile(w / ".oculto", "someone's");
         },
         {{"SOLUC.DBF", "the timetable program's"}, {".oculto", "someone's"}},
         {}},
        {"a plan whose swap was undone, with a foreign file in its backup",
         [&](const fs::path& w) {
             writeFile(w / ".transhoralis-journal", plan({"PROFT"}));
             writeFile(folder(w, kStaging) / "PROFT.DBF", "new");
             writeFile(folder(w, kBackup) / "LEEME.TXT", "mine");
         },
         {{std::string(kBackup) + "/", ""}, {std::string(kBackup) + "/LEEME.TXT", "mine"}},
         {std::string(kBackup) + "/LEEME.TXT", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const fs::path work = dir / "HTEMP";
        fs::create_directory(work);
        writeFile(work / "TABLA.DBF", "kept");
        c.setUp(work);
        const auto notices = exporter::repairWorkFolder(work);
        Snapshot expected = c.left;
        expected["TABLA.DBF"] = "kept";
        EXPECT_EQ(snapshotFolder(work), expected);
        ASSERT_EQ(notices.size(), c.reported.size());
        for (std::size_t i = 0; i < notices.size(); ++i) {
            // Named with the platform's own separator, as the repair joins them.
            const fs::path named =
                c.reported[i].empty() ? work : work / fs::path(c.reported[i]).make_preferred();
            EXPECT_EQ(notices[i].rfind(platform::displayPath(named) + ": ", 0), 0u) << notices[i];
        }
    }
}

TEST(WorkFolderRepair, APlanItCannotFollowStopsTheRunAndNothingIsTouched) {
    struct Case {
        const char* what;
        std::string journal;
        std::string problem;
    };
    const std::vector<Case> cases = {
        {"cut short", plan({"PROFT", "AULAT"}).substr(0, 60), "está dañado"},
        {"a folder outside the work folder",
         "transhoralis table swap 1\nstaging ../fuera\nbackup .transhoralis-backup-1\n"
         "table PROFT\nend\n",
         "está dañado"},
        {"a table the export does not write", plan({"SOLUC"}), "está dañado"},
        // Every new table had been moved in, but one of them is gone since.
        {"a new table missing", plan({"PROFT", "AULAT"}), "falta la tabla nueva"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const fs::path work = dir / "HTEMP";
        fs::create_directories(work / kBackup);
        writeFile(work / ".transhoralis-journal", c.journal);
        writeFile(work / "PROFT.DBF", "new");
        writeFile(work / kBackup / "PROFT.DBF", "old");
        writeFile(work / kBackup / "AULAT.DBF", "old");
        const Snapshot before = snapshotFolder(work);
        std::optional<Error> error;
        try {
            exporter::repairWorkFolder(work);
        } catch (const Error& e) {
            error = e;
        }
        ASSERT_TRUE(error.has_value());
        EXPECT_NE(std::string(error->what()).find(c.problem), std::string::npos) << error->what();
        EXPECT_FALSE(error->detail().empty());
        EXPECT_EQ(snapshotFolder(work), before);
        // The same stops an export there before it builds anything.
        writeFile(dir / "doc.xml", schoolXml({}));
        EXPECT_NE(errorOf([&] { exporter::runExport(dir / "doc.xml", work); }).find(c.problem),
                  std::string::npos);
        EXPECT_EQ(snapshotFolder(work), before);
    }
}

TEST(WorkFolderRepair, WhileAnExportRunsItsLeftoversAreItsOwn) {
    TempDir dir;
    const fs::path work = dir / "HTEMP";
    fs::create_directories(work / kStaging);
    writeFile(work / kStaging / "PROFT.DBF", "being built");
    const Snapshot building = snapshotFolder(work);
    platform::FolderLock exportRunning(work);
    EXPECT_TRUE(exporter::repairWorkFolder(work).empty());
    EXPECT_EQ(snapshotFolder(work), building);
    // Once it is replacing the tables, a run that would read them stops instead.
    writeFile(work / ".transhoralis-journal", plan({"PROFT"}));
    const std::string error = errorOf([&] { exporter::repairWorkFolder(work); });
    EXPECT_NE(error.find("una exportación está sustituyendo ahora las tablas"), std::string::npos)
        << error;
    EXPECT_TRUE(fs::exists(work / kStaging / "PROFT.DBF"));
}

TEST(WorkFolderRepair, AFolderThatDoesNotExistHasNothingToRepair) {
    TempDir dir;
    EXPECT_TRUE(exporter::repairWorkFolder(dir / "no-existe").empty());
    EXPECT_FALSE(fs::exists(dir / "no-existe"));
}

}  // namespace
}  // namespace thq::test
