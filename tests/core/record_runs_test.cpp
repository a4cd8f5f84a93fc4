// The lists of SOLUC record numbers the import keeps per teacher, stored as runs: they must
// give back exactly the numbers added, in order, across the ends of runs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/lookup_indexes.hpp"

namespace thq::importer {
namespace {

TEST(RecordRuns, GiveBackTheNumbersAddedWhetherTheyStandTogetherOrApart) {
    const std::vector<std::vector<std::size_t>> cases = {
        {},
        {0},
        {0, 1, 2, 3},
        {5, 9},
        {3, 7, 8, 9, 20, 21, 40},
        {0, 2, 4, 6},
        {1, 2, 4294967293u, 4294967294u},
    };
    for (const auto& numbers : cases) {
        RecordRuns runs;
        for (std::size_t number : numbers) runs.add(number);
        std::vector<std::size_t> back;
        for (std::size_t number : runs) back.push_back(number);
        EXPECT_EQ(back, numbers) << ::testing::PrintToString(numbers);
    }
}

}  // namespace
}  // namespace thq::importer
