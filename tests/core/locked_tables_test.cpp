// Tables held by another process: while a child process holds a work table, in any of the
// ways a program can, an export or an import ends with an error that names the table and says
// it is in use, and changes nothing. The import only reads: another reader does not stop it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

#include "data/dbf_table.hpp"
#include "data/error.hpp"
#include "data/table_layouts.hpp"
#include "demo_soluc/demo_solution.hpp"
#include "export/export_run.hpp"
#include "export_fixture.hpp"
#include "import/import_run.hpp"
#include "test_support.hpp"

namespace thq::test {
namespace {

namespace fs = std::filesystem;
using data::WorkTable;

enum class Hold {
    TableExclusive,   // our own table engine, exclusive
    TableShared,      // our own table engine, shared
    OfdWriteLock,     // an open-file-description write lock on the whole file
    OfdReadLock,      // an open-file-description read lock
    RecordWriteLock,  // a classic POSIX record lock (F_SETLK), owned by the process
};

const char* nameOf(Hold hold) {
    switch (hold) {
        case Hold::TableExclusive:
            return "table engine, exclusive";
        case Hold::TableShared:
            return "table engine, shared";
        case Hold::OfdWriteLock:
            return "OFD write lock";
        case Hold::OfdReadLock:
            return "OFD read lock";
        case Hold::RecordWriteLock:
            return "POSIX record lock";
    }
    return "?";
}

constexpr Hold kHolds[] = {Hold::TableExclusive, Hold::TableShared, Hold::OfdWriteLock,
                           Hold::OfdReadLock, Hold::RecordWriteLock};

// In the child: takes the hold; true when it holds.
bool take(Hold hold, const fs::path& file, data::DbfTable& table) {
    switch (hold) {
        case Hold::TableExclusive:
        case Hold::TableShared:
            table.open(hold == Hold::TableExclusive ? data::OpenMode::Exclusive
                                                    : data::OpenMode::Shared);
            return true;
        case Hold::OfdWriteLock:
        case Hold::OfdReadLock:
        case Hold::RecordWriteLock: {
            const bool write = hold != Hold::OfdReadLock;
            const int descriptor = ::open(file.c_str(), write ? O_RDWR : O_RDONLY);
            if (descriptor < 0) return false;
            struct flock lock {};
            lock.l_type = write ? F_WRLCK : F_RDLCK;
            lock.l_whence = SEEK_SET;
            return ::fcntl(descriptor, hold == Hold::RecordWriteLock ? F_SETLK : F_OFD_SETLK,
                           &lock) == 0;  // the descriptor stays open until the child ends
        }
    }
    return false;
}

// A child process that holds a file until this object goes away.
class HeldByAnotherProcess {
public:
    HeldByAnotherProcess(const fs::path& file, Hold hold) {
        int ready[2];
        int release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0) throw std::runtime_error("pipe");
        child_ = ::fork();
        if (child_ < 0) throw std::runtime_error("fork");
        if (child_ == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            char status = 'F';
            try {
                data::DbfTable table(file);
                if (take(hold, file, table)) status = 'H';
                (void)!::write(ready[1], &status, 1);
                char done = 0;
                (void)!::read(release[0], &done, 1);  // until the parent closes its end
            } catch (...) {
                (void)!::write(ready[1], &status, 1);
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        release_ = release[1];
        char status = 0;
        holds_ = ::read(ready[0], &status, 1) == 1 && status == 'H';
        ::close(ready[0]);
    }
    ~HeldByAnotherProcess() {
        ::close(release_);
        int status = 0;
        ::waitpid(child_, &status, 0);
    }
    HeldByAnotherProcess(const HeldByAnotherProcess&) = delete;
    HeldByAnotherProcess& operator=(const HeldByAnotherProcess&) = delete;
    bool holds() const { return holds_; }

private:
    pid_t child_ = -1;
    int release_ = -1;
    bool holds_ = false;
};

std::string messageOf(const std::function<void()>& run) {
    try {
        run();
    } catch (const Error& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(LockedTables, AnExportStopsAtATableAnotherProcessHolds) {
    TempDir dir;
    const fs::path work = dir / "HTEMP";
    const fs::path document = dir / "school.xml";
    fs::create_directory(work);
    writeFile(document, schoolXml({{"PROFESORES", {{"1", "a", "Uno", "UNO"}}}}));
    exporter::runExport(document, work);
    writeFile(work / "PROFT.MDX", "index");
    const auto before = snapshotFolder(work);
    writeFile(document, readFile(sourceDir() / "samples" / "ies-sierra-de-la-vega.xml"));

    for (const auto table : {WorkTable::Asignomt, WorkTable::Proft, WorkTable::Grupost,
                             WorkTable::Asigt, WorkTable::Diashorast}) {
        const fs::path file = data::tableFile(work, table);
        for (const Hold hold : kHolds) {
            SCOPED_TRACE(file.filename().string() + " held by " + nameOf(hold));
            std::string message;
            {
                HeldByAnotherProcess holder(file, hold);
                ASSERT_TRUE(holder.holds());
                message = messageOf([&] { exporter::runExport(document, work); });
            }
            EXPECT_NE(message.find(file.string() + ": está en uso"), std::string::npos) << message;
            EXPECT_EQ(snapshotFolder(work), before);
        }
    }
    // Once let go, the tables are free for the export.
    EXPECT_EQ(exporter::runExport(document, work), exporter::ExportOutcome::Completed);
    EXPECT_NE(snapshotFolder(work), before);
}

TEST(LockedTables, AnImportStopsAtATableAnotherProcessWritesAndReadsBesideReaders) {
    TempDir dir;
    const fs::path work = dir / "HTEMP";
    const fs::path docs = dir / "quelva";
    const fs::path document = docs / "sierra.xml";
    const fs::path result = importer::resultPathFor(document);
    fs::create_directory(work);
    fs::create_directory(docs);
    writeFile(document, readFile(sourceDir() / "samples" / "ies-sierra-de-la-vega.xml"));
    exporter::runExport(document, work);
    demo::writeDemoSolution(work);
    writeFile(result, "earlier result");
    const auto tables = snapshotFolder(work);
    const auto documents = snapshotFolder(docs);

    for (const auto table : {WorkTable::Soluc, WorkTable::Grupost, WorkTable::Proft,
                             WorkTable::Asignomt2, WorkTable::Diashorast}) {
        const fs::path file = data::tableFile(work, table);
        for (const Hold hold : kHolds) {
            SCOPED_TRACE(file.filename().string() + " held by " + nameOf(hold));
            std::string message;
            {
                HeldByAnotherProcess holder(file, hold);
                ASSERT_TRUE(holder.holds());
                message = messageOf([&] { importer::runImport(document, work); });
            }
            EXPECT_EQ(snapshotFolder(work), tables);
            if (hold == Hold::TableShared || hold == Hold::OfdReadLock) {
                // A reader's lock: the import reads beside it.
                EXPECT_EQ(message, "(no error)");
                EXPECT_NE(readFile(result), "earlier result");
                writeFile(result, "earlier result");
                continue;
            }
            EXPECT_NE(message.find(file.string() + ": está en uso"), std::string::npos) << message;
            EXPECT_EQ(snapshotFolder(docs), documents);
        }
    }
    EXPECT_EQ(importer::runImport(document, work).outcome, importer::ImportOutcome::Completed);
    EXPECT_NE(readFile(result), "earlier result");
}

}  // namespace
}  // namespace thq::test
