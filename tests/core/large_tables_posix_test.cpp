// ASIGT pairs every subject of a course with every group of it, so a small document can make
// a very large table: its records go to the file as they are made, a table past what a dBase
// file can hold is refused before it is written, and memory running out is said in Spanish.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <iostream>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "data/error.hpp"
#include "data/table_layouts.hpp"
#include "export/export_run.hpp"
#include "export_fixture.hpp"
#include "test_support.hpp"

#if defined(__SANITIZE_ADDRESS__)
#define TH_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TH_TEST_ASAN 1
#endif
#endif
#ifdef TH_TEST_ASAN
// The sanitizer's own count (its header does not come with every compiler).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace thq::test {
namespace {

namespace fs = std::filesystem;

// Bytes the program has allocated and not yet freed.
std::size_t heapInUse() {
#ifdef TH_TEST_ASAN
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

// One course with `subjects` subjects and `groups` groups: ASIGT gets their product.
std::string crossProductSchool(int subjects, int groups) {
    SectionRows materias{"MATERIAS", {}};
    for (int i = 0; i < subjects; ++i) {
        const std::string n = std::to_string(i);
        materias.rows.push_back({n, "Materia " + n, "M" + n, "C1", "60"});
    }
    SectionRows grupos{"GRUPOS", {}};
    for (int g = 0; g < groups; ++g) {
        grupos.rows.push_back({"G" + std::to_string(g), std::to_string(g), "C1"});
    }
    return schoolXml({materias, {"CURSOS", {{"C1", "", "", "ESO", "1"}}}, grupos});
}

TEST(LargeTables, AssignmentsGoToTheFileAsTheyAreMade) {
    // 300 x 300 assignments of 90 bytes: an ASIGT of 8 MB, built while the heap in use is
    // watched. Held in memory, the table's records alone would take all of that.
    ExportFixture f;
    writeFile(f.document(), crossProductSchool(300, 300));
    std::atomic<bool> watching{false};
    std::atomic<bool> done{false};
    std::atomic<std::size_t> baseline{0};
    std::atomic<std::size_t> peak{0};
    std::thread watcher([&] {
        while (!done) {
            if (watching) {
                const std::size_t now = heapInUse();
                if (now > peak) peak = now;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    exporter::ExportOptions options;
    options.beforeStep = [&](std::string_view step) {
        if (step == "BuildAssignmentTable") {
            baseline = heapInUse();
            peak = baseline.load();
            watching = true;
        } else if (step == "BuildSlotTable") {
            watching = false;
        }
    };
    exporter::runExport(f.document(), f.work(), options);
    done = true;
    watcher.join();
    const auto asigt = fs::file_size(data::tableFile(f.work(), data::WorkTable::Asigt));
    EXPECT_GT(asigt, 8'000'000u);
    EXPECT_LT(peak - baseline, asigt / 4) << "the heap grew with the table";
    std::cout << "[ heap     ] ASIGT " << asigt << " bytes, heap growth " << peak - baseline
              << "\n";
}

TEST(LargeTables, ATablePastTwoGigabytesIsRefusedBeforeItIsWritten) {
    // 5,000 subjects for 5,000 groups: 25 million assignments, 2.1 GB.
    ExportFixture f;
    f.exportXml(schoolXml({{"PROFESORES", {{"1", "a", "Uno", "UNO"}}}}));
    const auto before = snapshotFolder(f.work());
    writeFile(f.document(), crossProductSchool(5000, 5000));
    const std::string error = errorOf([&] { exporter::runExport(f.document(), f.work()); });
    EXPECT_NE(error.find("ASIGT.DBF: la tabla tendría 25000000 registros de 90 bytes (2146 MB), "
                         "más de los 2048 MB que admite un archivo dBase"),
              std::string::npos)
        << error;
    EXPECT_EQ(snapshotFolder(f.work()), before);
    // What the check says of it.
    Findings findings;
    exporter::checkDocument(f.document(), findings);
    ASSERT_EQ(findings.count(Severity::Error), 1u);
    EXPECT_NE(findings.list()[0].text.find("más de los 2048 MB"), std::string::npos)
        << findings.list()[0].text;
}

TEST(LargeTables, MemoryRunningOutIsSaidInSpanishNamingWhatItWasFor) {
    ExportFixture f;
    f.exportXml(schoolXml({{"PROFESORES", {{"1", "a", "Uno", "UNO"}}}}));
    const auto before = snapshotFolder(f.work());
    writeFile(f.document(), crossProductSchool(3, 2));
    struct Case {
        const char* step;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"BuildAssignmentTable", "No hay memoria suficiente para construir la tabla ASIGT"},
        {"BuildCourseAndGroupTables",
         "No hay memoria suficiente para construir las tablas CURSOST y GRUPOST"},
        {"ReplaceWorkTables", "No hay memoria suficiente para sustituir las tablas"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        exporter::ExportOptions options;
        options.beforeStep = [&](std::string_view step) {
            if (step == c.step) throw std::bad_alloc();
        };
        EXPECT_EQ(errorOf([&] { exporter::runExport(f.document(), f.work(), options); }),
                  c.message);
        EXPECT_EQ(snapshotFolder(f.work()), before);
    }
}

}  // namespace
}  // namespace thq::test
