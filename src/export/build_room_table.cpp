// AULAT: one record per usable room row. The short code derives from the first four
// characters of value 2, trimmed; its fallback keeps two characters.
#include "data/text.hpp"
#include "export/export_state.hpp"

namespace thq::exporter {

void BuildRoomTable(ExportState& state) {
    ShortCodeRegistry usedRoomCodes;
    TableWriter table(state, data::WorkTable::Aulat);
    for (const auto& row : state.rows(Section::Aulas)) {
        if (!state.usable(row)) continue;
        const std::string codeText = row.value(2);
        const std::string base(text::trim(text::firstChars(codeText, kShortCodeWidth)));
        const std::string code = state.allocateCode(usedRoomCodes, base, 2, row, codeText);
        table.append();
        table.set("ABREV", code);
        table.put(row, "NOMBRE", row.value(1));
        table.put(row, "DEPCENTRO", row.value(0));
        table.post();
    }
    table.close();
}

}  // namespace thq::exporter
