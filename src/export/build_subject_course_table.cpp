// ASIGNOMT2: every usable subject row (one per subject and course) and every task row,
// coded by the first four characters of the long code; nothing is made unique here.
#include "data/text.hpp"
#include "export/export_state.hpp"

namespace thq::exporter {

void BuildSubjectCourseTable(ExportState& state) {
    TableWriter table(state, data::WorkTable::Asignomt2);
    for (const auto& row : state.rows(Section::Materias)) {
        if (!state.usable(row)) continue;
        const std::string longCode = row.value(2);
        table.append();
        table.set("COD", text::firstChars(longCode, kShortCodeWidth));
        table.put(row, "CODLARGO", longCode);
        table.put(row, "NOMBRE", row.value(1));
        table.put(row, "MATERIA", row.value(0));
        table.put(row, "CLAVECURSO", row.value(3));
        table.post();
    }
    for (const auto& row : state.rows(Section::Tareas)) {
        if (!state.usable(row)) continue;
        const std::string longCode = row.value(2);
        table.append();
        table.set("COD", text::firstChars(longCode, kShortCodeWidth));
        table.put(row, "CODLARGO", longCode);
        table.put(row, "NOMBRE", row.value(1));
        table.put(row, "MATERIA", row.value(0));
        table.put(row, "ALECTIVA", row.value(3));
        table.post();
    }
    table.close();
}

}  // namespace thq::exporter
