// The platform file adapter: share modes, positioned reads and writes, atomic replacement.
#include "data/platform_file.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "data/error.hpp"
#include "test_support.hpp"

namespace thq::platform {
namespace {

using test::errorOf;
using test::readFile;
using test::snapshotFolder;
using test::TempDir;
using test::writeFile;

TEST(PlatformFile, PositionedReadsAndWrites) {
    TempDir dir;
    auto path = dir / "DATA.BIN";
    File file = File::create(path, ShareMode::Exclusive);
    file.writeAt(0, "hello world", 11);
    file.writeAt(6, "WORLD!", 6);
    file.writeAt(20, "z", 1);  // past the end: the gap reads as zeros
    EXPECT_EQ(file.size(), 21u);

    char buffer[32] = {};
    EXPECT_EQ(file.readAt(0, buffer, 12), 12u);
    EXPECT_EQ(std::string(buffer, 12), "hello WORLD!");
    EXPECT_EQ(file.readAt(18, buffer, 10), 3u);  // short only at the end of the file
    EXPECT_EQ(std::string(buffer, 3), std::string("\0\0z", 3));
    EXPECT_EQ(file.readAt(100, buffer, 4), 0u);

    file.truncate(5);
    file.flushToDisk();
    EXPECT_EQ(file.size(), 5u);
    file.close();
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(readFile(path), "hello");

    File moved = File::open(path, OpenIntent::ReadOnly, ShareMode::Shared);
    File target = std::move(moved);
    EXPECT_FALSE(moved.isOpen());
    EXPECT_TRUE(target.isOpen());
    EXPECT_EQ(target.size(), 5u);
}

TEST(PlatformFile, ShareModesConflictWithinOneProcess) {
    struct Case {
        ShareMode holder;
        ShareMode opener;
        bool conflicts;
    };
    const std::vector<Case> cases = {
        {ShareMode::Exclusive, ShareMode::Exclusive, true},
        {ShareMode::Exclusive, ShareMode::Shared, true},
        {ShareMode::Shared, ShareMode::Exclusive, true},
        {ShareMode::Shared, ShareMode::Shared, false},
    };
    TempDir dir;
    auto path = dir / "T.DBF";
    writeFile(path, "data");
    for (const auto& c : cases) {
        File holder = File::open(path, OpenIntent::ReadWrite, c.holder);
        std::string message = errorOf([&] { File::open(path, OpenIntent::ReadWrite, c.opener); });
        EXPECT_EQ(message, c.conflicts ? path.string() + ": está en uso por otro programa" : "");
        // Creating (which empties the file) is refused the same way, leaving the data.
        std::string createMessage = errorOf([&] { File::create(path, c.opener); });
        if (c.conflicts) {
            EXPECT_EQ(createMessage, path.string() + ": está en uso por otro programa");
            holder.close();
            EXPECT_EQ(readFile(path), "data");
            File::open(path, OpenIntent::ReadWrite, c.opener);  // free once the holder closes
        }
        writeFile(path, "data");
    }
}

TEST(PlatformFile, OpenAndCreateNameWhatIsMissing) {
    TempDir dir;
    std::filesystem::create_directory(dir / "SUB");
    struct Case {
        std::filesystem::path path;
        std::string problem;
    };
    const std::vector<Case> opens = {
        {dir / "NONE.DBF", "el archivo no existe"},
        {dir / "NOFOLDER" / "NONE.DBF", "la carpeta no existe"},
        {dir / "SUB", "es una carpeta, no un archivo"},
    };
    for (const auto& c : opens) {
        EXPECT_EQ(errorOf([&] { File::open(c.path, OpenIntent::ReadOnly, ShareMode::Shared); }),
                  c.path.string() + ": " + c.problem);
    }
    EXPECT_EQ(errorOf([&] { File::create(dir / "NOFOLDER" / "X.DBF", ShareMode::Exclusive); }),
              (dir / "NOFOLDER" / "X.DBF").string() + ": la carpeta no existe");
    EXPECT_EQ(errorOf([&] { File::create(dir / "SUB", ShareMode::Exclusive); }),
              (dir / "SUB").string() + ": es una carpeta, no un archivo");
}

TEST(PlatformFile, FileQueries) {
    TempDir dir;
    writeFile(dir / "A.DBF", "x");
    std::filesystem::create_directory(dir / "SUB");
    EXPECT_TRUE(fileExists(dir / "A.DBF"));
    EXPECT_FALSE(isDirectory(dir / "A.DBF"));
    EXPECT_FALSE(fileExists(dir / "SUB"));  // a folder is not a file
    EXPECT_TRUE(isDirectory(dir / "SUB"));
    EXPECT_FALSE(isDirectory(dir / "NONE"));

    EXPECT_FALSE(removeFileQuietly(dir / "SUB"));
    EXPECT_TRUE(isDirectory(dir / "SUB"));
    EXPECT_TRUE(removeFileQuietly(dir / "A.DBF"));
    EXPECT_FALSE(fileExists(dir / "A.DBF"));
    EXPECT_FALSE(removeFileQuietly(dir / "A.DBF"));
}

TEST(PlatformFile, RenameReplacesAndNamesBothFilesOnFailure) {
    TempDir dir;
    writeFile(dir / "NEW", "new");
    writeFile(dir / "OLD", "old");
    renameReplacing(dir / "NEW", dir / "OLD");
    EXPECT_EQ(readFile(dir / "OLD"), "new");
    EXPECT_FALSE(fileExists(dir / "NEW"));
    flushFolder(dir.path());

    // The reason in Spanish, as the system gives it ("no existe el archivo", "... o la
    // carpeta").
    std::string message = errorOf([&] { renameReplacing(dir / "NEW", dir / "OLD"); });
    EXPECT_EQ(message.rfind((dir / "NEW").string() + ": no se puede renombrar a " +
                                (dir / "OLD").string() + ": no existe el archivo",
                            0),
              0u)
        << message;
}

TEST(PlatformFile, AtomicWriteReplacesAndLeavesNoTemporary) {
    TempDir dir;
    auto target = dir / "RESULT.XML";
    writeFile(target, "earlier");
    writeFileAtomically(target, std::string("new\0content", 11));
    EXPECT_EQ(readFile(target), std::string("new\0content", 11));
    EXPECT_EQ(snapshotFolder(dir.path()).size(), 1u);  // no temporary file left

    writeFileAtomically(dir / "EMPTY", "");
    EXPECT_EQ(readFile(dir / "EMPTY"), "");
}

TEST(PlatformFile, FailedAtomicWriteLeavesTheEarlierFileAndNoTemporary) {
    TempDir dir;
    writeFile(dir / "KEEP.XML", "earlier");
    std::filesystem::create_directory(dir / "BUSY");
    writeFile(dir / "BUSY" / "inside", "x");
    struct Case {
        std::filesystem::path target;
        std::string problemStart;
    };
    std::vector<Case> cases = {
        {dir / "MISSING" / "OUT.XML", "la carpeta no existe"},
        {dir / "BUSY", "no se puede escribir: "},  // a folder cannot be replaced by a file
    };
    const auto before = snapshotFolder(dir.path());
    for (const auto& c : cases) {
        std::string message = errorOf([&] { writeFileAtomically(c.target, "new"); });
        EXPECT_EQ(message.rfind(c.target.string() + ": " + c.problemStart, 0), 0u) << message;
        EXPECT_EQ(snapshotFolder(dir.path()), before);
    }
}

TEST(PlatformFile, StagedFilesReplaceNothingUntilCommitted) {
    TempDir dir;
    writeFile(dir / "RESULT.XML", "earlier result");
    // The longest name a folder entry may have: the temporary beside it must still fit.
    const std::string longName = std::string(251, 'r') + ".xml";
    {
        StagedFile report(dir / "INFORME.TXT", "report");
        StagedFile result(dir / longName, "result");
        StagedFile dropped(dir / "RESULT.XML", "never placed");
        // Written in pieces: each after the one before, nothing in place before the commit.
        StagedFile pieces(dir / "PIEZAS.XML");
        for (const char* piece : {"<r>", "", "texto", "</r>"}) pieces.append(piece);
        StagedFile droppedPieces(dir / "RESULT.XML");
        droppedPieces.append("never placed either");
        const auto entries = listFolder(dir.path());
        std::size_t temporaries = 0;
        for (const auto& entry : entries) {
            if (isTemporaryFileName(entry.name.string())) ++temporaries;
        }
        EXPECT_EQ(temporaries, 5u);
        EXPECT_EQ(readFile(dir / "RESULT.XML"), "earlier result");
        EXPECT_FALSE(fileExists(dir / "INFORME.TXT"));
        EXPECT_FALSE(fileExists(dir / "PIEZAS.XML"));
        report.commit();
        result.commit();
        EXPECT_THROW(result.commit(), std::logic_error);
        pieces.finish();
        EXPECT_THROW(pieces.append("late"), std::logic_error) << "finished: nothing more";
        pieces.commit();
    }
    EXPECT_EQ(snapshotFolder(dir.path()),
              (std::map<std::string, std::string>{{"INFORME.TXT", "report"},
                                                  {"PIEZAS.XML", "<r>texto</r>"},
                                                  {"RESULT.XML", "earlier result"},
                                                  {longName, "result"}}));
}

TEST(PlatformFile, OnlyTemporariesWhoseWriterIsGoneAreRemovedAsAbandoned) {
    TempDir dir;
    writeFile(dir / ".transhoralis-0123456789.tmp", "abandoned");
    EXPECT_TRUE(isTemporaryFileName(".transhoralis-0123456789.tmp"));
    for (const char* other : {".transhoralis-012345678.tmp", ".transhoralis-0123456789.txt",
                              ".transhoralis-ABCDEFGHIJ.tmp", ".transhoralis-journal"}) {
        EXPECT_FALSE(isTemporaryFileName(other)) << other;
    }
    EXPECT_TRUE(removeAbandonedFile(dir / ".transhoralis-0123456789.tmp"));
    EXPECT_FALSE(fileExists(dir / ".transhoralis-0123456789.tmp"));

    StagedFile underWay(dir / "OUT.XML", "bytes");
    writeFile(dir / "HELD.DBF", "a table in use");
    File held = File::open(dir / "HELD.DBF", OpenIntent::ReadWrite, ShareMode::Exclusive);
    for (const auto& entry : listFolder(dir.path())) {
        EXPECT_FALSE(removeAbandonedFile(dir.path() / entry.name)) << entry.name;
    }
    EXPECT_FALSE(removeAbandonedFile(dir / "NO-EXISTE"));
    EXPECT_EQ(listFolder(dir.path()).size(), 2u);  // the staged result and the held table
    underWay.commit();
    EXPECT_EQ(readFile(dir / "OUT.XML"), "bytes");
}

TEST(PlatformFile, TodayOnTheLocalClock) {
    CalendarDate today = localToday();
    EXPECT_GE(today.year, 2024);
    EXPECT_TRUE(today.month >= 1 && today.month <= 12);
    EXPECT_TRUE(today.day >= 1 && today.day <= 31);
}

}  // namespace
}  // namespace thq::platform
