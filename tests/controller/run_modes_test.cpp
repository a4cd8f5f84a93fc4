// The command line's two parameters as the window reads them.
#include "app/run_modes.hpp"

#include <gtest/gtest.h>

#include "data/error.hpp"

namespace thq::app {
namespace {

TEST(RunModes, DirectionIsParameterOneLowerCasedAtoZOnly) {
    const struct {
        std::string parameter;
        Direction expected;
    } cases[] = {
        {"exportar", Direction::Export},
        {"EXPORTAR", Direction::Export},
        {"ExPoRtAr", Direction::Export},
        {"importar", Direction::Import},
        {"IMPORTAR", Direction::Import},
        {"exportr", Direction::None},
        {"exportar ", Direction::None},
        {" importar", Direction::None},
        {"", Direction::None},
        {"export", Direction::None},
        {"\xC4\xB0mportar", Direction::None},  // a dotted capital I is not an A-Z letter
    };
    for (const auto& c : cases) EXPECT_EQ(directionOf(c.parameter), c.expected) << c.parameter;
}

TEST(RunModes, OnlyExactlyTwoParametersRequestARun) {
    EXPECT_EQ(requestedRun({}), Direction::None);
    EXPECT_EQ(requestedRun({"exportar"}), Direction::None);
    EXPECT_EQ(requestedRun({"exportar", "1"}), Direction::Export);
    EXPECT_EQ(requestedRun({"importar", "zz"}), Direction::Import);  // the handle is not looked at
    EXPECT_EQ(requestedRun({"exportar", "1", "2"}), Direction::None);
    EXPECT_EQ(hostWindowOf({"exportar"}), std::nullopt);
    EXPECT_EQ(hostWindowOf({"exportar", "1", "2"}), std::nullopt);
    EXPECT_EQ(hostWindowOf({"exportar", "1A2B"}), 0x1A2Bu);
}

TEST(RunModes, HostHandleIsHexadecimalDigitsOnly) {
    const struct {
        std::string parameter;
        std::uint32_t handle;
    } accepted[] = {
        {"1A2B", 0x1A2B},          {"1a2b", 0x1A2B},
        {"00001a2b", 0x1A2B},      {"0", 0},
        {"FFFFFFFF", 0xFFFFFFFFu}, {"000000000000FFFFFFFF", 0xFFFFFFFFu},
        {"80000000", 0x80000000u},
    };
    for (const auto& c : accepted) EXPECT_EQ(hostHandleOf(c.parameter), c.handle) << c.parameter;

    for (const std::string refused : {"", "0x1A2B", "$1A2B", "-1A2B", "+1A2B", " 1A2B", "1A2B ",
                                      "123456789", "1FFFFFFFF", "1A2G", "x1A2B"}) {
        try {
            hostHandleOf(refused);
            ADD_FAILURE() << "accepted: '" << refused << "'";
        } catch (const Error& error) {
            EXPECT_EQ(error.kind(), ErrorKind::Conversion);
            EXPECT_EQ(std::string(error.what()), "'$" + refused + "' no es un valor entero válido");
        }
    }
}

}  // namespace
}  // namespace thq::app
