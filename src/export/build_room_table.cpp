// AULAT: one record per usable room row. The short code derives from the first four
// characters of value 2, trimmed; its fallback keeps two characters.
#include "data/text.hpp"
#include "export/export_state.hpp"

namespace thq::exporter {

void BuildRoomTable(ExportState& state) {
    ShortCodeRegistry usedRoomCodes;
    TableWriter<data::WorkTable::Aulat> table(state);
    for (const auto& row : state.rows(Section::Aulas)) {
        if (!state.usable(row)) continue;
        const std::string codeText = row.value(2);
        const std::string base(text::trim(text::firstChars(codeText, kShortCodeWidth)));
        const std::string code = state.allocateCode(usedRoomCodes, base, 2, row, codeText);
        table.append();
        table.setDerivedValue(data::AULAT::ABREV, code);
        table.setDocumentValue(row, data::AULAT::NOMBRE, row.value(1));
        table.setDocumentValue(row, data::AULAT::DEPCENTRO, row.value(0));
        table.post();
    }
    table.close();
}

}  // namespace thq::exporter
