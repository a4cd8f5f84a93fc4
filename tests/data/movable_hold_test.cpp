// A movable exclusive hold: no one else may open the file, yet its holder may move it, and the
// hold goes with it (the export holds the old tables so while it moves them aside).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "data/error.hpp"
#include "data/platform_file.hpp"
#include "test_support.hpp"

namespace thq::test {
namespace {

using platform::File;
using platform::OpenIntent;
using platform::ShareMode;

TEST(MovableHold, KeepsOthersOutAndLetsItsHolderMoveTheFile) {
    TempDir dir;
    writeFile(dir / "PROFT.DBF", "old table");
    File held = File::open(dir / "PROFT.DBF", OpenIntent::ReadWrite, ShareMode::ExclusiveMovable);
    struct Attempt {
        OpenIntent intent;
        ShareMode share;
    };
    const Attempt others[] = {{OpenIntent::ReadOnly, ShareMode::Shared},
                              {OpenIntent::ReadWrite, ShareMode::Shared},
                              {OpenIntent::ReadWrite, ShareMode::Exclusive},
                              {OpenIntent::ReadWrite, ShareMode::ExclusiveMovable}};
    for (const auto& name : {"PROFT.DBF", "moved/PROFT.DBF"}) {
        for (const auto& other : others) {
            try {
                File::open(dir / name, other.intent, other.share);
                ADD_FAILURE() << name << " opened while held";
            } catch (const Error& e) {
                EXPECT_EQ(e.kind(), ErrorKind::InUse);
                EXPECT_EQ(std::string(e.what()),
                          (dir / name).string() + ": está en uso por otro programa");
            }
        }
        if (std::string(name) == "PROFT.DBF") {
            std::filesystem::create_directory(dir / "moved");
            platform::renameReplacing(dir / "PROFT.DBF", dir / "moved" / "PROFT.DBF");
        }
    }
    held.close();
    File::open(dir / "moved" / "PROFT.DBF", OpenIntent::ReadWrite, ShareMode::Exclusive).close();
    EXPECT_EQ(readFile(dir / "moved" / "PROFT.DBF"), "old table");
}

}  // namespace
}  // namespace thq::test
