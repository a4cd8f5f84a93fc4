// Micro-benchmarks of reading a work table: a sequential scan, lookups of single records in
// random order, and runs of neighbouring records from random starting points (as the import
// reads each teacher's lessons). The table is a SOLUC of 300,000 records (about 26 MB), larger
// than what the table engine keeps of it in memory, written once into a temporary folder.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "data/dbf_table.hpp"
#include "data/platform_file.hpp"
#include "data/table_layouts.hpp"

namespace {

namespace data = thq::data;
namespace fs = std::filesystem;

constexpr std::size_t kRecords = 300000;

class Fixture {
public:
    Fixture() {
        folder_ =
            thq::platform::temporaryFolder() / ("thq-table-bench-" + std::to_string(::getpid()));
        fs::create_directories(folder_);
        file_ = data::tableFile(folder_, data::WorkTable::Soluc);
        data::DbfTable table(file_);
        table.defineFields(data::layoutOf(data::WorkTable::Soluc).fields);
        table.create();
        table.open(data::OpenMode::Exclusive);
        for (std::size_t i = 0; i < kRecords; ++i) {
            table.append();
            const std::string teacher = std::to_string(i / 40);
            const std::string subject = std::to_string(i % 97);
            table.setText("PROF", teacher);
            table.setText("ASIG", subject);
            table.setNumber("DIA", static_cast<double>(i % 5 + 1));
            table.setNumber("HORA", static_cast<double>(i % 7 + 1));
            table.post();
        }
        table.close();
    }
    ~Fixture() {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    const fs::path& file() const { return file_; }

private:
    fs::path folder_;
    fs::path file_;
};

const Fixture& fixture() {
    static const Fixture instance;
    return instance;
}

void BM_OpenAndClose(benchmark::State& state) {
    data::DbfTable table(fixture().file());
    for (auto _ : state) {
        table.open(data::OpenMode::ReadOnly);
        table.close();
    }
}
BENCHMARK(BM_OpenAndClose)->Unit(benchmark::kMillisecond);

void BM_SequentialScan(benchmark::State& state) {
    data::DbfTable table(fixture().file());
    table.open(data::OpenMode::ReadOnly);
    for (auto _ : state) {
        std::size_t length = 0;
        for (table.first(); !table.eof(); table.next()) length += table.text("PROF").size();
        benchmark::DoNotOptimize(length);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kRecords));
}
BENCHMARK(BM_SequentialScan)->Unit(benchmark::kMillisecond);

// goTo and one field of each record, the records in a shuffled order.
void BM_RandomRecords(benchmark::State& state) {
    std::vector<std::size_t> order(kRecords);
    for (std::size_t i = 0; i < kRecords; ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(42));
    data::DbfTable table(fixture().file());
    table.open(data::OpenMode::ReadOnly);
    for (auto _ : state) {
        std::int64_t sum = 0;
        for (std::size_t record : order) {
            table.goTo(record);
            sum += table.integer("HORA");
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kRecords));
}
BENCHMARK(BM_RandomRecords)->Unit(benchmark::kMillisecond);

// Runs of 40 neighbouring records (one teacher's lessons), the runs in a shuffled order.
void BM_RandomRuns(benchmark::State& state) {
    constexpr std::size_t kRun = 40;
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i + kRun <= kRecords; i += kRun) starts.push_back(i);
    std::shuffle(starts.begin(), starts.end(), std::mt19937(7));
    data::DbfTable table(fixture().file());
    table.open(data::OpenMode::ReadOnly);
    for (auto _ : state) {
        std::size_t length = 0;
        for (std::size_t start : starts) {
            for (std::size_t record = start; record < start + kRun; ++record) {
                table.goTo(record);
                length += table.text("ASIG").size();
            }
        }
        benchmark::DoNotOptimize(length);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(starts.size() * kRun));
}
BENCHMARK(BM_RandomRuns)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
