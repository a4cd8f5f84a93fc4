// The files a run writes get the permissions of any file the user saves: what the user's
// umask leaves of read and write for everyone (never execute).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "data/table_layouts.hpp"
#include "demo_soluc/demo_solution.hpp"
#include "export/export_run.hpp"
#include "import/import_run.hpp"
#include "test_support.hpp"

namespace thq::test {
namespace {

namespace fs = std::filesystem;

class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : saved_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(saved_); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    mode_t saved_;
};

mode_t permissionsOf(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return 0;
    return info.st_mode & 07777;
}

TEST(ResultPermissions, FollowTheUmaskForTheTablesAndTheResult) {
    struct Case {
        mode_t umask;
        mode_t expected;
    };
    for (const Case c : {Case{022, 0644}, Case{077, 0600}, Case{027, 0640}, Case{002, 0664}}) {
        SCOPED_TRACE("umask 0" + std::to_string(c.umask / 8 % 8) + std::to_string(c.umask % 8));
        TempDir dir;
        const fs::path work = dir / "HTEMP";
        const fs::path document = dir / "sierra.xml";
        const fs::path result = importer::resultPathFor(document);
        fs::create_directory(work);
        writeFile(document, readFile(sourceDir() / "samples" / "ies-sierra-de-la-vega.xml"));
        // Earlier files with other permissions: the new ones do not inherit them.
        writeFile(work / "PROFT.DBF", "old");
        writeFile(result, "earlier result");
        fs::permissions(work / "PROFT.DBF", fs::perms::owner_all | fs::perms::others_all);
        fs::permissions(result, fs::perms::owner_all | fs::perms::group_all);

        ScopedUmask umask(c.umask);
        ASSERT_EQ(exporter::runExport(document, work), exporter::ExportOutcome::Completed);
        for (const auto table : data::exportTables()) {
            EXPECT_EQ(permissionsOf(data::tableFile(work, table)), c.expected)
                << data::tableFile(work, table);
        }
        demo::writeDemoSolution(work);
        ASSERT_EQ(importer::runImport(document, work).outcome, importer::ImportOutcome::Completed);
        EXPECT_EQ(permissionsOf(result), c.expected);
    }
}

}  // namespace
}  // namespace thq::test
