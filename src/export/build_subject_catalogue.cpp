// ASIGNOMT, first half: one record per distinct subject long code, under a unique short code.
#include "data/text.hpp"
#include "export/document_reader.hpp"
#include "export/export_state.hpp"

namespace thq::exporter {

void BuildSubjectCatalogue(ExportState& state) {
    auto table = createWorkTable(state, data::WorkTable::Asignomt);
    for (const auto& row : readSection(state.document, Section::Materias)) {
        if (!row.hasEnoughValues()) continue;
        const std::string name = row.value(1);
        const std::string longCode = row.value(2);
        if (!state.seenLongCodes.admit(longCode)) continue;
        const std::string code =
            AllocateShortCode(text::firstChars(longCode, kShortCodeWidth), state.usedShortCodes, 3);
        table->append();
        table->setText("COD", code);
        table->setText("CODLARGO", longCode);
        table->setText("NOMBRE", name);
        table->setLogical("ESTAREA", false);
        table->post();
    }
    table->close();
}

}  // namespace thq::exporter
