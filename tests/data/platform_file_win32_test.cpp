// The Windows file adapter's own rules: the system's error codes in Spanish.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "data/platform_file.hpp"

namespace thq::platform {
namespace {

// The reasons embedded in messages are Spanish, whatever language Windows speaks.
TEST(PlatformFileWin32, SystemErrorsInSpanish) {
    const struct {
        DWORD error;
        const char* text;
    } cases[] = {
        {ERROR_FILE_NOT_FOUND, "no existe el archivo"},
        {ERROR_PATH_NOT_FOUND, "no existe la carpeta"},
        {ERROR_ACCESS_DENIED, "permiso denegado"},
        {ERROR_WRITE_PROTECT, "el disco está protegido contra escritura"},
        {ERROR_DISK_FULL, "no queda espacio en el disco"},
        {ERROR_HANDLE_DISK_FULL, "no queda espacio en el disco"},
        {ERROR_SHARING_VIOLATION, "está en uso"},
        {ERROR_LOCK_VIOLATION, "está en uso"},
        {ERROR_WRITE_FAULT, "error de entrada/salida"},
        {ERROR_READ_FAULT, "error de entrada/salida"},
        {ERROR_TOO_MANY_OPEN_FILES, "hay demasiados archivos abiertos"},
        {ERROR_FILENAME_EXCED_RANGE, "el nombre es demasiado largo"},
        {ERROR_DIR_NOT_EMPTY, "la carpeta no está vacía"},
        {ERROR_NOT_SAME_DEVICE, "no se puede mover a otro disco o sistema de archivos"},
    };
    for (const auto& c : cases) EXPECT_EQ(systemErrorText(c.error), c.text) << c.error;

    // A rarer one in the system's words, with its number.
    const std::string rare = systemErrorText(ERROR_INVALID_FUNCTION);
    EXPECT_NE(rare.find("(error 1)"), std::string::npos) << rare;
    EXPECT_GT(rare.size(), std::string(" (error 1)").size()) << rare;
}

}  // namespace
}  // namespace thq::platform
