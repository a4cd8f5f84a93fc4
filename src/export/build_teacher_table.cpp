// PROFT: one record per usable teacher row. The short code derives from the whole of
// value 3; the timetable solution names teachers by it.
#include "export/export_state.hpp"

namespace thq::exporter {

void BuildTeacherTable(ExportState& state) {
    ShortCodeRegistry usedTeacherCodes;
    TableWriter table(state, data::WorkTable::Proft);
    for (const auto& row : state.rows(Section::Profesores)) {
        if (!state.usable(row)) continue;
        const std::string base = row.value(3);
        const std::string code = state.allocateCode(usedTeacherCodes, base, 3, row, base);
        table.append();
        table.set("ABREV", code);
        table.put(row, "NOMBRE", row.value(2));
        table.put(row, "X_EMPLEADO", row.value(0));
        table.put(row, "F_TOMAPOS", row.value(1));
        table.post();
    }
    table.close();
}

}  // namespace thq::exporter
