// ASIGNOMT2: every usable subject row (one per subject and course) and every task row,
// coded by the first four characters of the long code; nothing is made unique here.
#include "data/text.hpp"
#include "export/document_reader.hpp"
#include "export/export_state.hpp"

namespace thq::exporter {

void BuildSubjectCourseTable(ExportState& state) {
    auto table = createWorkTable(state, data::WorkTable::Asignomt2);
    for (const auto& row : readSection(state.document, Section::Materias)) {
        if (!row.hasEnoughValues()) continue;
        const std::string longCode = row.value(2);
        table->append();
        table->setText("COD", text::firstChars(longCode, kShortCodeWidth));
        table->setText("CODLARGO", longCode);
        table->setText("NOMBRE", row.value(1));
        table->setText("MATERIA", row.value(0));
        table->setText("CLAVECURSO", row.value(3));
        table->post();
    }
    for (const auto& row : readSection(state.document, Section::Tareas)) {
        if (!row.hasEnoughValues()) continue;
        const std::string longCode = row.value(2);
        table->append();
        table->setText("COD", text::firstChars(longCode, kShortCodeWidth));
        table->setText("CODLARGO", longCode);
        table->setText("NOMBRE", row.value(1));
        table->setText("MATERIA", row.value(0));
        table->setText("ALECTIVA", row.value(3));
        table->post();
    }
    table->close();
}

}  // namespace thq::exporter
