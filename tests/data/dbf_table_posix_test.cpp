// A table cut short by another program while it is open for reading (a POSIX reader's hold
// does not stop a writer that ignores it): what is still in the file reads, and a record
// that is no longer there is an error naming the table.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "data/dbf_table.hpp"
#include "data/error.hpp"
#include "test_support.hpp"

namespace thq::data {
namespace {

using test::errorOf;
using test::TempDir;

std::string name(std::size_t i) {
    std::string text = "N";
    text += std::to_string(i);
    return text;
}

TEST(DbfCutShort, RecordsMissingFromTheFileAreErrorsWhenRead) {
    TempDir dir;
    const auto file = dir / "CORTADA.DBF";
    {
        DbfTable table(file);
        table.defineFields({{"NOMBRE", FieldType::Text, 60}});
        table.create();
        table.open();
        for (std::size_t i = 0; i < 3000; ++i) {
            table.append();
            table.setText("NOMBRE", name(i));
            table.post();
        }
    }
    DbfTable table(file);
    table.open(OpenMode::ReadOnly);
    table.goTo(2999);
    EXPECT_EQ(table.text("NOMBRE"), name(2999));
    // Another program cuts the file in the middle of record 2001 (61 bytes each after a
    // header of 65).
    std::filesystem::resize_file(file, 65 + 2000 * 61 + 30);
    table.goTo(1500);
    EXPECT_EQ(table.text("NOMBRE"), name(1500));
    const std::string missing = errorOf([&] { table.goTo(2500); });
    EXPECT_NE(missing.find("CORTADA.DBF: archivo dañado: el registro 2501 de 3000 no está "
                           "entero en el archivo"),
              std::string::npos)
        << missing;
    std::size_t read = 0;
    const std::string scanned = errorOf([&] {
        for (table.first(); !table.eof(); table.next()) ++read;
    });
    EXPECT_NE(scanned.find("el registro 2001 de 3000 no está entero"), std::string::npos)
        << scanned;
    EXPECT_EQ(read, 2000u);
}

}  // namespace
}  // namespace thq::data
