#include "export_fixture.hpp"

#include "data/dbf_table.hpp"
#include "data/text.hpp"
#include "export/export_run.hpp"

namespace thq::test {

Value dato(std::string name, std::string text) {
    Value value(std::move(text));
    value.dato = std::move(name);
    return value;
}

namespace {
std::string escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}
}  // namespace

std::string schoolXml(const std::vector<SectionRows>& sections) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SERVICIO><SALIDAS>\n";
    for (const auto& section : sections) {
        xml += "<listasal seq=\"" + escape(section.seq) + "\">\n";
        for (const auto& row : section.rows) {
            xml += "<listasal>";
            for (const auto& value : row) {
                xml += value.dato ? "<salida dato=\"" + escape(*value.dato) + "\">" : "<salida>";
                xml += escape(value.text) + "</salida>";
            }
            xml += "</listasal>\n";
        }
        xml += "</listasal>\n";
    }
    return xml + "</SALIDAS></SERVICIO>\n";
}

std::vector<Record> readTable(const std::filesystem::path& file) {
    data::DbfTable table(file);
    table.open(data::OpenMode::Shared);
    std::vector<Record> records;
    for (table.first(); !table.eof(); table.next()) {
        Record record;
        for (const auto& field : table.fields())
            record[field.name] = text::cp1252ToUtf8(table.text(field.name));
        records.push_back(std::move(record));
    }
    return records;
}

ExportFixture::ExportFixture() : work_(dir_ / "HTEMP"), document_(dir_ / "school.xml") {
    std::filesystem::create_directory(work_);
}

void ExportFixture::exportXml(const std::string& xml) {
    writeFile(document_, xml);
    exporter::runExport(document_, work_);
}

std::vector<Record> ExportFixture::table(data::WorkTable which) const {
    return readTable(data::tableFile(work_, which));
}

std::vector<std::string> ExportFixture::column(data::WorkTable which,
                                               const std::string& field) const {
    std::vector<std::string> values;
    for (const auto& record : table(which)) values.push_back(record.at(field));
    return values;
}

}  // namespace thq::test
