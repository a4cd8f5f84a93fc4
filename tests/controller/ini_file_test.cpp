// The status file's editor: one value set, every other line kept as it was.
#include "app/ini_file.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/status_file.hpp"
#include "data/error.hpp"
#include "test_support.hpp"

namespace thq::app {
namespace {

TEST(IniFile, SetsTheValueAndKeepsEverythingElse) {
    const struct {
        const char* name;
        std::string before;
        std::string after;
    } cases[] = {
        {"empty file", "", "[Transformadores]\r\nTransformado=1\r\n"},
        {"other section, LF ends", "[Otra]\nA=1\n",
         "[Otra]\nA=1\n[Transformadores]\nTransformado=1\n"},
        {"last line without end", "[Otra]\r\nA=1",
         "[Otra]\r\nA=1\r\n[Transformadores]\r\nTransformado=1\r\n"},
        {"key replaced, spelling and other keys kept",
         "[transformadores]\r\ntransformado = 0\r\nOtro=x\r\n",
         "[transformadores]\r\ntransformado =1\r\nOtro=x\r\n"},
        {"key added after the section's last line",
         "[Transformadores]\nOtro=x\n\n[B]\nTransformado=5\n",
         "[Transformadores]\nOtro=x\nTransformado=1\n\n[B]\nTransformado=5\n"},
        {"same key in another section untouched", "[B]\nTransformado=5\n",
         "[B]\nTransformado=5\n[Transformadores]\nTransformado=1\n"},
        {"comments are not keys",
         "; Transformado=3\n[Transformadores]\n;Transformado=2\nTransformado=0\n",
         "; Transformado=3\n[Transformadores]\n;Transformado=2\nTransformado=1\n"},
        {"byte-order mark kept", "\xEF\xBB\xBF[Transformadores]\r\nTransformado=0\r\n",
         "\xEF\xBB\xBF[Transformadores]\r\nTransformado=1\r\n"},
        {"first of two sections", "[Transformadores]\nA=1\n[Transformadores]\nTransformado=0\n",
         "[Transformadores]\nA=1\nTransformado=1\n[Transformadores]\nTransformado=0\n"},
        {"blanks around names", "  [ Transformadores ]  \n\tTransformado\t=-1",
         "  [ Transformadores ]  \n\tTransformado\t=1"},
        {"section alone without line end", "[Transformadores]",
         "[Transformadores]\r\nTransformado=1\r\n"},
        {"empty section before another", "[Transformadores]\r\n[Z]\r\nK=v\r\n",
         "[Transformadores]\r\nTransformado=1\r\n[Z]\r\nK=v\r\n"},
        {"old value holding an equals sign", "[Transformadores]\r\nTransformado=a=b\r\n",
         "[Transformadores]\r\nTransformado=1\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(setIniValue(c.before, "Transformadores", "Transformado", "1"), c.after) << c.name;
    }
}

TEST(IniFile, StatusFileKeepsOtherSectionsAndKeys) {
    test::TempDir dir;
    const auto file = statusFilePath(dir.path());
    EXPECT_EQ(file.filename(), "Horalia.ini");
    test::writeFile(file,
                    "[Horalia]\r\nVersion=5\r\n[Transformadores]\r\nTransformado=1\r\nOtro=7\r\n");
    writeTransformStatus(file, -1);
    EXPECT_EQ(test::readFile(file),
              "[Horalia]\r\nVersion=5\r\n[Transformadores]\r\nTransformado=-1\r\nOtro=7\r\n");
    writeTransformStatus(file, 0);
    EXPECT_EQ(test::readFile(file),
              "[Horalia]\r\nVersion=5\r\n[Transformadores]\r\nTransformado=0\r\nOtro=7\r\n");
}

TEST(IniFile, AFileThatCannotBeWrittenIsReported) {
    test::TempDir dir;
    const std::filesystem::path cases[] = {
        dir / "Horalia.ini",                // a folder stands where the file should be
        dir / "no-existe" / "Horalia.ini",  // its folder is missing
    };
    std::filesystem::create_directory(cases[0]);
    for (const auto& file : cases) {
        try {
            writeTransformStatus(file, 1);
            ADD_FAILURE() << file;
        } catch (const Error& error) {
            EXPECT_EQ(std::string(error.what()), "Unable to write to " + file.string());
        }
    }
}

}  // namespace
}  // namespace thq::app
