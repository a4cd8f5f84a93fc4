#include "export/export_state.hpp"

#include "data/error.hpp"
#include "data/platform_file.hpp"
#include "data/text.hpp"

namespace thq::exporter {

std::vector<SectionRow> ExportState::rows(Section section) const {
    return readSection(document, section, diagnostics_);
}

void ExportState::warn(const SectionRow& row, const std::string& text) const {
    diagnostics_.add(Severity::Warning, sectionName(row.section()), row.number(), text);
}

bool ExportState::usable(const SectionRow& row) const {
    if (row.hasEnoughValues()) return true;
    warn(row, "la fila tiene menos de dos valores y no se lee");
    return false;
}

std::optional<std::int32_t> ExportState::toInt32(const SectionRow& row, const std::string& place,
                                                 const std::string& written,
                                                 const std::string& part,
                                                 const std::string& writtenPart) const {
    try {
        return text::toInt32(part);
    } catch (const Error& error) {
        if (error.kind() != ErrorKind::Conversion) throw;
        const Error refused = conversionError(writtenPart);
        if (!checking_) {
            throw conversionError(writtenPart, std::string(sectionName(row.section())) + ", fila " +
                                                   std::to_string(row.number()) + ", " + place +
                                                   ": " + text::quoted(written));
        }
        const std::string where =
            writtenPart == written ? place : place + " (" + text::quoted(written) + ")";
        diagnostics_.add(Severity::Error, sectionName(row.section()), row.number(),
                         where + ": " + refused.what());
        return std::nullopt;
    }
}

namespace {

std::string holderText(const CodeHolder& holder, const SectionRow& row) {
    if (holder.section.empty()) return "otro registro";
    const std::string rowText = "fila " + std::to_string(holder.row);
    return holder.section == sectionName(row.section())
               ? rowText
               : std::string(holder.section) + " " + rowText;
}

}  // namespace

std::string ExportState::allocateCode(ShortCodeRegistry& registry, std::string_view base,
                                      std::size_t prefixLength, const SectionRow& row,
                                      std::string_view written) const {
    const auto earlier = reporting() ? registry.holder(base) : std::nullopt;
    std::string code = AllocateShortCode(base, registry, prefixLength,
                                         CodeHolder{sectionName(row.section()), row.number()});
    if (earlier) {
        warn(row, "código " + text::cp1252ToUtf8(written) + " guardado como " +
                      text::cp1252ToUtf8(code) + ", " + text::cp1252ToUtf8(storedCodeForm(base)) +
                      " ya es de " + holderText(*earlier, row));
    }
    return code;
}

bool ExportState::admitLongCode(const std::string& longCode, const SectionRow& row) {
    if (seenLongCodes.admit(longCode, CodeHolder{sectionName(row.section()), row.number()}))
        return true;
    if (reporting()) {
        warn(row, "el código largo " + text::cp1252ToUtf8(longCode) + " ya es de " +
                      holderText(*seenLongCodes.holder(longCode), row) +
                      ": la fila no entra en ASIGNOMT");
    }
    return false;
}

data::DbfWriter startTable(const ExportState& state, data::WorkTable table, TableStart start) {
    const auto file = data::tableFile(state.tablesFolder, table);
    if (start == TableStart::Create) return data::DbfWriter(file, data::layoutOf(table).fields);
    data::DbfWriter writer = data::DbfWriter::appendTo(file);
    const auto expected = data::fieldsOf(table);
    const auto& held = writer.fields();
    bool same = held.size() == expected.size();
    for (std::size_t i = 0; same && i < held.size(); ++i) same = held[i].name == expected[i].name;
    if (!same) {
        throw fileError(ErrorKind::Internal, platform::displayPath(file),
                        "la tabla no tiene los campos que la exportación escribe");
    }
    return writer;
}

void reportCutValue(const ExportState& state, const SectionRow& row, data::WorkTable table,
                    std::string_view field, int width, const std::string& value) {
    if (!state.reporting()) return;
    const std::string kept(
        text::trimTrailingBlanks(text::firstChars(value, static_cast<std::size_t>(width))));
    state.warn(row, std::string(field) + " de " + std::string(data::layoutOf(table).name) +
                        " guarda " + std::to_string(width) +
                        " caracteres: " + text::quoted(text::cp1252ToUtf8(value)) + " queda " +
                        text::quoted(text::cp1252ToUtf8(kept)));
}

std::unique_ptr<data::DbfTable> openBuiltTable(const ExportState& state, data::WorkTable table) {
    auto dbf = std::make_unique<data::DbfTable>(data::tableFile(state.tablesFolder, table));
    dbf->open(data::OpenMode::Exclusive);
    return dbf;
}

}  // namespace thq::exporter
