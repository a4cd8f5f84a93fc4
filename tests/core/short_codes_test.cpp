#include "export/short_codes.hpp"

#include <gtest/gtest.h>
#include <strings.h>

#include <algorithm>
#include <string>
#include <vector>

#include "data/error.hpp"

namespace thq::exporter {
namespace {

struct AllocationCase {
    const char* what;
    std::vector<std::string> bases;
    std::size_t prefixLength;
    std::vector<std::string> expected;
};

std::vector<std::string> allocateAll(const std::vector<std::string>& bases,
                                     std::size_t prefixLength) {
    ShortCodeRegistry registry;
    std::vector<std::string> codes;
    for (const auto& base : bases) codes.push_back(AllocateShortCode(base, registry, prefixLength));
    return codes;
}

std::vector<std::string> repeated(const std::string& base, std::size_t times) {
    return std::vector<std::string>(times, base);
}

TEST(ShortCodes, AllocatesUniqueStoredCodes) {
    const std::vector<AllocationCase> cases = {
        {"free bases are kept", {"MATE", "LCL", "EF"}, 3, {"MATE", "LCL", "EF"}},
        {"fallback counts from 1", {"MATE", "MATE", "MATE"}, 3, {"MATE", "MAT1", "MAT2"}},
        {"letter case is ignored, the base's own letters kept",
         {"MATE", "mate"},
         3,
         {"MATE", "mat1"}},
        {"a candidate held as a base is skipped",
         {"MAT1", "MATE", "MATE"},
         3,
         {"MAT1", "MATE", "MAT2"}},
        {"a base equal to an earlier fallback falls back",
         {"MATE", "MATE", "MAT1"},
         3,
         {"MATE", "MAT1", "MAT2"}},
        {"a base shorter than the prefix is its own prefix", {"AB", "AB"}, 3, {"AB", "AB1"}},
        {"the empty base", {"", "", ""}, 3, {"", "1", "2"}},
        {"rooms keep two characters", {"AULA", "AULA", "AULA"}, 2, {"AULA", "AU1", "AU2"}},
        {"group bases", {"ESO1", "ESO1", "ESO1"}, 3, {"ESO1", "ESO2", "ESO3"}},
        {"1a then 1A", {"1a", "1A"}, 3, {"1a", "1A1"}},
        // Bases longer than the field are compared as the field stores them.
        {"GARCIA then GARCES", {"GARCIA", "GARCES"}, 3, {"GARC", "GAR1"}},
        {"GARCIA twice", {"GARCIA", "GARCIA"}, 3, {"GARC", "GAR1"}},
        {"a stored trailing blank does not count", {"ABC ", "ABC"}, 3, {"ABC", "ABC1"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(allocateAll(c.bases, c.prefixLength), c.expected) << c.what;
    }
}

TEST(ShortCodes, LongCountersShortenThePrefixInsteadOfRepeatingACode) {
    const auto subjects = allocateAll(repeated("MATE", 12), 3);
    EXPECT_EQ(subjects[9], "MAT9");
    EXPECT_EQ(subjects[10], "MA10");
    EXPECT_EQ(subjects[11], "MA11");

    const auto rooms = allocateAll(repeated("AULA", 102), 2);
    EXPECT_EQ(rooms[99], "AU99");
    EXPECT_EQ(rooms[100], "A100");

    const auto groups = allocateAll(repeated("1ESO", 11), 3);
    EXPECT_EQ(groups[1], "1ES1");
    EXPECT_EQ(groups[10], "1E10");

    // Whatever the collisions, no two stored codes are equal without regard to case.
    ShortCodeRegistry registry;
    std::vector<std::string> seen;
    for (int i = 0; i < 1500; ++i) {
        const std::string base = (i % 3 == 0) ? "mate" : (i % 3 == 1 ? "MATEMATICAS" : "MA");
        const std::string code = AllocateShortCode(base, registry, 3);
        EXPECT_LE(code.size(), 4u);
        seen.push_back(code);
    }
    std::sort(seen.begin(), seen.end(), [](const std::string& a, const std::string& b) {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    });
    EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end(),
                                 [](const std::string& a, const std::string& b) {
                                     return strcasecmp(a.c_str(), b.c_str()) == 0;
                                 }),
              seen.end());
}

TEST(ShortCodes, RunningOutOfCodesIsAnError) {
    ShortCodeRegistry registry;
    // The empty base falls back to 1, 2, ... 9999: then nothing of four characters is left.
    for (int i = 0; i < 10000; ++i) AllocateShortCode("", registry, 3);
    EXPECT_THROW(AllocateShortCode("", registry, 3), Error);
}

TEST(ShortCodes, LongCodesAreAdmittedOnceInAnyLetterCase) {
    LongCodeRegistry seen;
    EXPECT_TRUE(seen.admit("MATES"));
    EXPECT_FALSE(seen.admit("mates"));
    EXPECT_TRUE(seen.admit("MATES2"));
    EXPECT_TRUE(seen.admit("MATE"));
}

}  // namespace
}  // namespace thq::exporter
