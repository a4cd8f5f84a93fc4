// ASIGNOMT2: every usable subject row (one per subject and course) and every task row,
// coded by the first four characters of the long code; nothing is made unique here.
#include "data/text.hpp"
#include "export/export_state.hpp"

namespace thq::exporter {

void BuildSubjectCourseTable(ExportState& state) {
    TableWriter<data::WorkTable::Asignomt2> table(state);
    for (const auto& row : state.rows(Section::Materias)) {
        if (!state.usable(row)) continue;
        const std::string longCode = row.value(2);
        table.append();
        table.setDerivedValue(data::ASIGNOMT2::COD, text::firstChars(longCode, kShortCodeWidth));
        table.setDocumentValue(row, data::ASIGNOMT2::CODLARGO, longCode);
        table.setDocumentValue(row, data::ASIGNOMT2::NOMBRE, row.value(1));
        table.setDocumentValue(row, data::ASIGNOMT2::MATERIA, row.value(0));
        table.setDocumentValue(row, data::ASIGNOMT2::CLAVECURSO, row.value(3));
        table.post();
    }
    for (const auto& row : state.rows(Section::Tareas)) {
        if (!state.usable(row)) continue;
        const std::string longCode = row.value(2);
        table.append();
        table.setDerivedValue(data::ASIGNOMT2::COD, text::firstChars(longCode, kShortCodeWidth));
        table.setDocumentValue(row, data::ASIGNOMT2::CODLARGO, longCode);
        table.setDocumentValue(row, data::ASIGNOMT2::NOMBRE, row.value(1));
        table.setDocumentValue(row, data::ASIGNOMT2::MATERIA, row.value(0));
        table.setDocumentValue(row, data::ASIGNOMT2::ALECTIVA, row.value(3));
        table.post();
    }
    table.close();
}

}  // namespace thq::exporter
