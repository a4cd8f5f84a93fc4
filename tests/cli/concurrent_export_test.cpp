// Two exports into one work folder at once: one waits for nothing and wins, the other says
// that an export is under way, or they run one after the other; the tables afterwards are
// always one export's, whole.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <string>
#include <thread>

#include "data/platform_file.hpp"
#include "test_support.hpp"

namespace thq::test {
namespace {

namespace fs = std::filesystem;
using Snapshot = std::map<std::string, std::string>;

ProcessResult exportInto(const fs::path& work, const fs::path& document) {
    return runProcess(
        {(binDir() / "transhoralis").string(), "export", "-w", work.string(), document.string()});
}

// A table's last-update date (bytes 1..3) is the day's; the rest must match byte for byte.
Snapshot tablesOf(const fs::path& work) {
    Snapshot snapshot = snapshotFolder(work);
    for (auto& [name, bytes] : snapshot) {
        if (name.ends_with(".DBF") && bytes.size() > 4) bytes.replace(1, 3, 3, '\0');
    }
    return snapshot;
}

constexpr const char* kBusy = "otra exportación está en marcha";

class ConcurrentExports : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(documents_[0], readFile(sourceDir() / "samples" / "ies-sierra-de-la-vega.xml"));
        writeFile(documents_[1],
                  "<?xml version='1.0' encoding='UTF-8'?>\n<SERVICIO><SALIDAS>"
                  "<listasal seq='PROFESORES'><listasal><salida>1</salida><salida>a</salida>"
                  "<salida>Uno</salida><salida>UNO</salida></listasal></listasal>"
                  "</SALIDAS></SERVICIO>\n");
        for (int i = 0; i < 2; ++i) {
            const fs::path reference = dir_ / ("reference" + std::to_string(i));
            fs::create_directory(reference);
            const auto run = exportInto(reference, documents_[i]);
            ASSERT_EQ(run.exitCode, 0) << run.err;
            references_[i] = tablesOf(reference);
        }
        ASSERT_NE(references_[0], references_[1]);
    }

    TempDir dir_;
    std::array<fs::path, 2> documents_ = {dir_ / "sierra.xml", dir_ / "small.xml"};
    std::array<Snapshot, 2> references_;
};

TEST_F(ConcurrentExports, AnExportUnderWayTurnsTheSecondAway) {
    const fs::path work = dir_ / "HTEMP";
    fs::create_directory(work);
    ASSERT_EQ(exportInto(work, documents_[1]).exitCode, 0);
    const Snapshot before = snapshotFolder(work);
    {
        // The claim an export under way holds.
        platform::FolderLock underWay(work);
        const auto second = exportInto(work, documents_[0]);
        EXPECT_EQ(second.exitCode, 1);
        EXPECT_NE(second.err.find(work.string() + ": " + kBusy), std::string::npos) << second.err;
        EXPECT_EQ(snapshotFolder(work), before);
    }
    EXPECT_EQ(exportInto(work, documents_[0]).exitCode, 0);
    EXPECT_EQ(tablesOf(work), references_[0]);
}

TEST_F(ConcurrentExports, TwoAtOnceLeaveOneExportsTablesWhole) {
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const fs::path work = dir_ / ("HTEMP" + std::to_string(round));
        fs::create_directory(work);
        // Half of the rounds start over tables of an earlier export.
        if (round % 2 == 1) {
            ASSERT_EQ(exportInto(work, documents_[1]).exitCode, 0);
        }

        std::array<ProcessResult, 2> runs;
        {
            std::thread first([&] { runs[0] = exportInto(work, documents_[0]); });
            std::thread second([&] { runs[1] = exportInto(work, documents_[1]); });
            first.join();
            second.join();
        }
        int completed = 0;
        int lastCompleted = -1;
        for (int i = 0; i < 2; ++i) {
            if (runs[i].exitCode == 0) {
                ++completed;
                lastCompleted = i;
                EXPECT_EQ(runs[i].out, "Proceso finalizado\n");
                continue;
            }
            EXPECT_EQ(runs[i].exitCode, 1) << runs[i].err;
            EXPECT_NE(runs[i].err.find(kBusy), std::string::npos) << runs[i].err;
        }
        ASSERT_GE(completed, 1) << "one of them always completes";
        const Snapshot after = tablesOf(work);
        if (completed == 1) {
            EXPECT_EQ(after, references_[lastCompleted]);
        } else {
            EXPECT_TRUE(after == references_[0] || after == references_[1])
                << "the tables are a mix of the two exports";
        }
    }
}

}  // namespace
}  // namespace thq::test
