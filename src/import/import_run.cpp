#include "import/import_run.hpp"

#include <array>
#include <memory>

#include "data/dbf_table.hpp"
#include "data/error.hpp"
#include "data/platform_file.hpp"
#include "data/table_layouts.hpp"
#include "data/xml_document.hpp"
#include "import/lesson_entries.hpp"
#include "import/lookup_indexes.hpp"

namespace thq::importer {
namespace {

using data::WorkTable;

// The table components in the order the run opens (and closes) them.
constexpr std::array<WorkTable, 9> kOpeningOrder = {
    WorkTable::Soluc,     WorkTable::Grupost,    WorkTable::Cursost,
    WorkTable::Proft,     WorkTable::Aulat,      WorkTable::Asignomt,
    WorkTable::Asignomt2, WorkTable::Diashorast, WorkTable::Asigt};

// Holds the nine tables open exclusively; closes them in opening order when done, also when
// the run fails, so no table stays held against the timetable program.
class TableComponents {
public:
    explicit TableComponents(const std::filesystem::path& workFolder) {
        for (std::size_t i = 0; i < kOpeningOrder.size(); ++i) {
            tables_[i] =
                std::make_unique<data::DbfTable>(data::tableFile(workFolder, kOpeningOrder[i]));
        }
    }
    ~TableComponents() { closeAll(); }
    TableComponents(const TableComponents&) = delete;
    TableComponents& operator=(const TableComponents&) = delete;

    void openAll() {
        for (auto& table : tables_) table->open(data::OpenMode::Exclusive);
    }
    void closeAll() noexcept {
        for (auto& table : tables_) {
            try {
                table->close();
            } catch (...) {
            }
        }
    }
    data::DbfTable& operator[](WorkTable which) {
        for (std::size_t i = 0; i < kOpeningOrder.size(); ++i) {
            if (kOpeningOrder[i] == which) return *tables_[i];
        }
        throw std::logic_error("table not held");
    }

private:
    std::array<std::unique_ptr<data::DbfTable>, 9> tables_;
};

data::XmlNode requireOldOutputs(const data::XmlNode& root, const std::filesystem::path& path) {
    if (!root)
        throw Error(
            fileMessage(platform::displayPath(path), "el documento no tiene elemento raíz"));
    auto outputs = root.firstChildElement("SALIDAS");
    if (!outputs) {
        throw Error(fileMessage(platform::displayPath(path), "el elemento raíz <" + root.name() +
                                                                 "> no tiene elemento <SALIDAS>"));
    }
    return outputs;
}

void appendStatusBlock(data::XmlDocument& document, data::XmlNode outputs,
                       std::size_t teacherCount) {
    auto status = document.createElement("ERROR");
    outputs.appendChild(status);
    appendDataItem(document, status, "CN_ERROR", "0");
    appendDataItem(document, status, "TE_ERROR", "Servicio finalizado Correctamente");
    appendDataItem(document, status, "REGISTROS RECUPERADOS", std::to_string(teacherCount));
}

}  // namespace

std::filesystem::path resultPathFor(const std::filesystem::path& document) {
    // Joined as native paths: the file name never passes through a narrow code page, which
    // on Windows would fail or mangle names outside it.
    std::filesystem::path name("ResultadoHoralis");
    name += document.filename();
    return document.parent_path() / name;
}

ImportResult runImport(const std::filesystem::path& document,
                       const std::filesystem::path& workFolder) {
    ImportResult result;
    if (!platform::fileExists(document)) return result;

    TableComponents tables(workFolder);
    tables.openAll();
    auto xml = data::XmlDocument::load(document);
    auto root = xml.documentElement();
    root.removeChild(requireOldOutputs(root, document));
    auto outputs = xml.createElement("SALIDAS");
    root.appendChild(outputs);

    const LookupIndexes indexes = buildLookupIndexes(ImportTables{
        tables[WorkTable::Soluc], tables[WorkTable::Grupost], tables[WorkTable::Proft],
        tables[WorkTable::Aulat], tables[WorkTable::Asignomt], tables[WorkTable::Asignomt2],
        tables[WorkTable::Diashorast], tables[WorkTable::Asigt]});

    auto& teachers = tables[WorkTable::Proft];
    appendStatusBlock(xml, outputs, teachers.recordCount());
    std::size_t counter = 1;
    for (teachers.first(); !teachers.eof(); teachers.next()) {
        auto block = xml.createElement("listasal");
        block.setAttribute("seq", "EMP_" + std::to_string(counter++));
        outputs.appendChild(block);
        appendDataItem(xml, block, "X_EMPLEADO", teachers.text("X_EMPLEADO"));
        appendDataItem(xml, block, "F_TOMAPOS", teachers.text("F_TOMAPOS"));
        result.lessons += AppendLessonEntries(xml, indexes, teachers.text("ABREV"), block);
    }
    result.teachers = counter - 1;
    tables.closeAll();

    result.resultPath = resultPathFor(document);
    xml.save(result.resultPath);
    result.outcome = ImportOutcome::Completed;
    return result;
}

}  // namespace thq::importer
