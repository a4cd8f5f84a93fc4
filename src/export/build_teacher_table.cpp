// PROFT: one record per usable teacher row. The short code derives from the whole of
// value 3; the timetable solution names teachers by it.
#include "export/export_state.hpp"

namespace thq::exporter {

void BuildTeacherTable(ExportState& state) {
    ShortCodeRegistry usedTeacherCodes;
    TableWriter<data::WorkTable::Proft> table(state);
    for (const auto& row : state.rows(Section::Profesores)) {
        if (!state.usable(row)) continue;
        const std::string base = row.value(3);
        const std::string code = state.allocateCode(usedTeacherCodes, base, 3, row, base);
        table.append();
        table.setDerivedValue(data::PROFT::ABREV, code);
        table.setDocumentValue(row, data::PROFT::NOMBRE, row.value(2));
        table.setDocumentValue(row, data::PROFT::X_EMPLEADO, row.value(0));
        table.setDocumentValue(row, data::PROFT::F_TOMAPOS, row.value(1));
        table.post();
    }
    table.close();
}

}  // namespace thq::exporter
