// The POSIX file adapter's own rules: permissions from the user's umask, case-sensitive
// names, write permission, the default work folder under $HOME.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "data/error.hpp"
#include "data/platform_file.hpp"
#include "test_support.hpp"

namespace thq::platform {
namespace {

using test::errorOf;
using test::readFile;
using test::snapshotFolder;
using test::TempDir;
using test::writeFile;

// Sets the umask for the scope of the object.
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : saved_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(saved_); }

private:
    mode_t saved_;
};

mode_t permissionsOf(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return 0;
    return info.st_mode & 07777;
}

TEST(PlatformFilePosix, CreatedFilesFollowTheUmask) {
    TempDir dir;
    for (mode_t mask : {022, 027, 077}) {
        ScopedUmask umask(mask);
        auto path = dir / ("F" + std::to_string(mask));
        File::create(path, ShareMode::Shared);
        EXPECT_EQ(permissionsOf(path), 0666 & ~mask);
    }
}

TEST(PlatformFilePosix, AtomicWriteTakesTheUmaskNotTheEarlierFilesPermissions) {
    TempDir dir;
    ScopedUmask umask(022);
    auto target = dir / "RESULT.XML";
    writeFile(target, "earlier");
    ::chmod(target.c_str(), 0600);
    writeFileAtomically(target, "new");
    EXPECT_EQ(readFile(target), "new");
    EXPECT_EQ(permissionsOf(target), 0644u);
}

TEST(PlatformFilePosix, NamesAreNotFolded) {
    TempDir dir;
    writeFile(dir / "A.DBF", "x");
    EXPECT_FALSE(fileExists(dir / "a.dbf"));
}

TEST(PlatformFilePosix, AtomicWriteIntoAFolderWithoutWritePermission) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop the superuser";
    TempDir dir;
    std::filesystem::create_directory(dir / "LOCKED");
    writeFile(dir / "LOCKED" / "OUT.XML", "earlier");
    ::chmod((dir / "LOCKED").c_str(), 0555);
    const auto before = snapshotFolder(dir.path());
    const std::string message =
        errorOf([&] { writeFileAtomically(dir / "LOCKED" / "OUT.XML", "new"); });
    ::chmod((dir / "LOCKED").c_str(), 0755);
    EXPECT_EQ(message.rfind((dir / "LOCKED" / "OUT.XML").string() + ": no se puede escribir: ", 0),
              0u)
        << message;
    EXPECT_EQ(snapshotFolder(dir.path()), before);
}

TEST(PlatformFilePosix, FolderListingsNeverFollowLinks) {
    TempDir dir;
    std::filesystem::create_directory(dir / "sub");
    writeFile(dir / "file", "x");
    std::filesystem::create_directory_symlink(dir / "sub", dir / "link");
    std::map<std::string, bool> seen;
    for (const auto& entry : listFolder(dir.path())) seen[entry.name.string()] = entry.isFolder;
    EXPECT_EQ(seen, (std::map<std::string, bool>{{"file", false}, {"link", false}, {"sub", true}}));
    EXPECT_EQ(errorOf([&] { listFolder(dir / "no"); }),
              (dir / "no").string() + ": la carpeta no existe");
}


TEST(PlatformFilePosix, TheTemporaryFolderIsNamedWhenItIsMissing) {
    TempDir dir;
    const char* saved = std::getenv("TMPDIR");
    const std::string savedValue = saved ? saved : "";
    ::setenv("TMPDIR", dir.path().c_str(), 1);
    EXPECT_EQ(temporaryFolder(), dir.path());
    ::setenv("TMPDIR", (dir / "no").c_str(), 1);
    EXPECT_EQ(
        errorOf([] { temporaryFolder(); }),
        (dir / "no").string() + ": la carpeta temporal (variable de entorno TMPDIR) no existe");
    if (saved) {
        ::setenv("TMPDIR", savedValue.c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
}

// The reasons embedded in messages are Spanish, whatever language the system speaks.
TEST(PlatformFilePosix, SystemErrorsInSpanish) {
    const struct {
        int error;
        const char* text;
    } cases[] = {
        {ENOENT, "no existe el archivo o la carpeta"},
        {EACCES, "permiso denegado"},
        {EPERM, "operación no permitida"},
        {EROFS, "el sistema de archivos es de solo lectura"},
        {ENOSPC, "no queda espacio en el disco"},
        {EDQUOT, "se ha superado la cuota de disco"},
        {EBUSY, "está en uso"},
        {ETXTBSY, "está en uso"},
        {EIO, "error de entrada/salida"},
        {EMFILE, "hay demasiados archivos abiertos"},
        {ENFILE, "hay demasiados archivos abiertos"},
        {ENAMETOOLONG, "el nombre es demasiado largo"},
        {ENOTDIR, "una parte de la ruta no es una carpeta"},
        {EISDIR, "es una carpeta"},
        {ENOTEMPTY, "la carpeta no está vacía"},
        {EXDEV, "no se puede mover a otro disco o sistema de archivos"},
        {ELOOP, "la ruta tiene demasiados enlaces simbólicos"},
    };
    for (const auto& c : cases) EXPECT_EQ(systemErrorText(c.error), c.text) << c.error;

    // A rarer one in the system's words, with its number.
    EXPECT_EQ(systemErrorText(ECHILD),
              std::string(std::strerror(ECHILD)) + " (error " + std::to_string(ECHILD) + ")");

    // Through the adapter: a name longer than the file system takes.
    TempDir dir;
    const auto tooLong = dir / std::string(300, 'N');
    const std::string message = errorOf([&] { File::create(tooLong, ShareMode::Shared); });
    EXPECT_EQ(message, tooLong.string() + ": no se puede crear: el nombre es demasiado largo");
}

TEST(PlatformFilePosix, PathsForMessagesAndTheDefaultWorkFolder) {
    EXPECT_EQ(displayPath(std::filesystem::path("/w/Año 2024/PROFT.DBF")), "/w/Año 2024/PROFT.DBF");

    const char* saved = std::getenv("HOME");
    std::string savedHome = saved ? saved : "";
    ::setenv("HOME", "/home/prueba", 1);
    EXPECT_EQ(defaultWorkFolder(), std::filesystem::path("/home/prueba/HTEMP"));
    if (saved) {
        ::setenv("HOME", savedHome.c_str(), 1);
    } else {
        ::unsetenv("HOME");
    }
}

}  // namespace
}  // namespace thq::platform
