// The record store: records read from the file on demand through a small cache. Small
// limits (blocks of a few records, a budget of two or three blocks) make every access
// pattern cross block edges, evict blocks and refill the read-ahead stretch.
#include "data/dbf_record_store.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "data/error.hpp"
#include "data/platform_file.hpp"
#include "test_support.hpp"

namespace thq::data {
namespace {

using test::errorOf;
using test::TempDir;
using test::writeFile;

constexpr std::size_t kHeader = 32;  // bytes before the first record
constexpr std::size_t kLength = 7;   // a record: "R" and five digits and a mark

std::string recordBytes(std::size_t index) {
    char text[16];
    std::snprintf(text, sizeof text, "R%05zu;", index);
    return std::string(text, kLength);
}

// A file of `count` records after a header of kHeader bytes, each record telling its number.
std::string fileBytes(std::size_t count) {
    std::string bytes(kHeader, 'H');
    for (std::size_t i = 0; i < count; ++i) bytes += recordBytes(i);
    return bytes;
}

struct Limits {
    const char* name;
    RecordCacheLimits limits;
};

// Blocks of one record, of three records (21 bytes of a 24-byte block), and of two records
// with a read-ahead stretch of four blocks; budgets of two or three blocks.
const std::vector<Limits> kLimits = {
    {"one record per block, no read-ahead", {kLength, 2 * kLength, 0}},
    {"three records per block, no read-ahead", {24, 3 * 21, 0}},
    {"two records per block, read-ahead", {2 * kLength, 2 * 2 * kLength, 8 * kLength}},
    {"read-ahead larger than the table", {3 * kLength, 2 * 3 * kLength, 1000 * kLength}},
};

std::vector<std::size_t> shuffled(std::size_t count, unsigned seed) {
    std::vector<std::size_t> order(count);
    for (std::size_t i = 0; i < count; ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(seed));
    return order;
}

TEST(RecordStore, EveryAccessPatternReadsTheRightRecords) {
    constexpr std::size_t kCount = 40;
    TempDir dir;
    const auto path = dir / "TABLA.DBF";
    writeFile(path, fileBytes(kCount));

    struct Pattern {
        const char* name;
        std::vector<std::size_t> order;
    };
    std::vector<Pattern> patterns;
    {
        Pattern forward{"forward scan", {}};
        for (std::size_t i = 0; i < kCount; ++i) forward.order.push_back(i);
        patterns.push_back(forward);
        Pattern backward{"backward scan", {}};
        for (std::size_t i = kCount; i-- > 0;) backward.order.push_back(i);
        patterns.push_back(backward);
        patterns.push_back({"random", shuffled(kCount, 1)});
        // Each record read twice and its neighbour in between, as a table reads a record's
        // fields after checking its deletion mark.
        Pattern again{"re-reads", {}};
        for (std::size_t i = 0; i + 1 < kCount; ++i) {
            again.order.insert(again.order.end(), {i, i, i + 1, i});
        }
        patterns.push_back(again);
        // Runs of five neighbours from scattered starts (one teacher's lessons at a time),
        // then a scan that starts in the middle.
        Pattern runs{"runs", {}};
        for (std::size_t start : {33u, 2u, 17u, 9u, 26u, 0u, 35u}) {
            for (std::size_t i = start; i < start + 5; ++i) runs.order.push_back(i);
        }
        for (std::size_t i = 20; i < kCount; ++i) runs.order.push_back(i);
        patterns.push_back(runs);
        patterns.push_back({"last and first alternating", {39, 0, 38, 1, 39, 0, 37, 2}});
    }

    for (const auto& limits : kLimits) {
        for (const auto& pattern : patterns) {
            SCOPED_TRACE(std::string(limits.name) + ", " + pattern.name);
            auto file = platform::File::open(path, platform::OpenIntent::ReadOnly,
                                             platform::ShareMode::NoWriters);
            RecordStore store(limits.limits);
            store.attach(file, "TABLA.DBF", kHeader, kLength, kCount);
            for (std::size_t index : pattern.order) {
                ASSERT_EQ(store.record(index), recordBytes(index)) << "record " << index;
            }
        }
    }
}

TEST(RecordStore, AppendedRecordsReadBackWhetherTheirBlockIsCachedOrNot) {
    TempDir dir;
    const auto path = dir / "TABLA.DBF";
    for (const auto& limits : kLimits) {
        SCOPED_TRACE(limits.name);
        writeFile(path, fileBytes(5));
        auto file = platform::File::open(path, platform::OpenIntent::ReadWrite,
                                         platform::ShareMode::Exclusive);
        RecordStore store(limits.limits);
        store.attach(file, "TABLA.DBF", kHeader, kLength, 5);
        ASSERT_EQ(store.record(4), recordBytes(4));  // the last, partly filled block cached
        for (std::size_t i = 5; i < 23; ++i) {
            const std::string bytes = recordBytes(i);
            file.writeAt(kHeader + i * kLength, bytes.data(), bytes.size());
            store.appended(bytes);
            ASSERT_EQ(store.count(), i + 1);
            ASSERT_EQ(store.record(i), bytes);
            if (i % 4 == 0) {
                ASSERT_EQ(store.record(i / 2), recordBytes(i / 2));
            }
        }
        for (std::size_t i : shuffled(23, 5)) ASSERT_EQ(store.record(i), recordBytes(i));
        for (std::size_t i = 0; i < 23; ++i) ASSERT_EQ(store.record(i), recordBytes(i));
    }
}

// A file that holds fewer records than it was opened with (cut short by another program):
// every record still there reads, also by a scan whose read-ahead reaches the damage, and
// each missing one is an error naming the file and the record.
TEST(RecordStore, AFileEndingBeforeItsRecordsIsFoundWhenTheyAreRead) {
    TempDir dir;
    const auto path = dir / "CORTA.DBF";
    std::string bytes = fileBytes(10);
    bytes.resize(bytes.size() - 3);  // record 10 (index 9) is cut in the middle
    writeFile(path, bytes);
    auto message = [](int record) {
        return "CORTA.DBF: archivo dañado: el registro " + std::to_string(record) +
               " de 12 no está entero en el archivo";
    };
    for (const auto& limits : kLimits) {
        SCOPED_TRACE(limits.name);
        auto file = platform::File::open(path, platform::OpenIntent::ReadOnly,
                                         platform::ShareMode::NoWriters);
        RecordStore store(limits.limits);
        store.attach(file, "CORTA.DBF", kHeader, kLength, 12);
        EXPECT_EQ(store.record(0), recordBytes(0));
        EXPECT_EQ(store.record(8), recordBytes(8));
        for (std::size_t missing : {9u, 11u, 10u, 9u}) {
            const std::string error = errorOf([&] { store.record(missing); });
            EXPECT_NE(error.find(message(static_cast<int>(missing) + 1)), std::string::npos)
                << error;
        }
        // A scan from the start reads every whole record and stops at the first missing one.
        std::size_t read = 0;
        const std::string error = errorOf([&] {
            for (std::size_t i = 0; i < 12; ++i) {
                ASSERT_EQ(store.record(i), recordBytes(i));
                ++read;
            }
        });
        EXPECT_NE(error.find(message(10)), std::string::npos) << error;
        EXPECT_EQ(read, 9u);
        EXPECT_EQ(store.record(3), recordBytes(3));  // the store is still usable
        EXPECT_NE(errorOf([&] { store.record(12); }).find("no hay registro 13"), std::string::npos);
    }
}

}  // namespace
}  // namespace thq::data
