// PROFT: one record per usable teacher row. The short code derives from the whole of
// value 3; the timetable solution names teachers by it.
#include "export/document_reader.hpp"
#include "export/export_state.hpp"

namespace thq::exporter {

void BuildTeacherTable(ExportState& state) {
    ShortCodeRegistry usedTeacherCodes;
    auto table = createWorkTable(state, data::WorkTable::Proft);
    for (const auto& row : readSection(state.document, Section::Profesores)) {
        if (!row.hasEnoughValues()) continue;
        const std::string code = AllocateShortCode(row.value(3), usedTeacherCodes, 3);
        table->append();
        table->setText("ABREV", code);
        table->setText("NOMBRE", row.value(2));
        table->setText("X_EMPLEADO", row.value(0));
        table->setText("F_TOMAPOS", row.value(1));
        table->post();
    }
    table->close();
}

}  // namespace thq::exporter
