// AULAT: one record per usable room row. The short code derives from the first four
// characters of value 2, trimmed; its fallback keeps two characters.
#include "data/text.hpp"
#include "export/document_reader.hpp"
#include "export/export_state.hpp"

namespace thq::exporter {

void BuildRoomTable(ExportState& state) {
    ShortCodeRegistry usedRoomCodes;
    auto table = createWorkTable(state, data::WorkTable::Aulat);
    for (const auto& row : readSection(state.document, Section::Aulas)) {
        if (!row.hasEnoughValues()) continue;
        const std::string codeText = row.value(2);
        const std::string base(text::trim(text::firstChars(codeText, kShortCodeWidth)));
        const std::string code = AllocateShortCode(base, usedRoomCodes, 2);
        table->append();
        table->setText("ABREV", code);
        table->setText("NOMBRE", row.value(1));
        table->setText("DEPCENTRO", row.value(0));
        table->post();
    }
    table->close();
}

}  // namespace thq::exporter
