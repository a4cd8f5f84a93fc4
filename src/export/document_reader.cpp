#include "export/document_reader.hpp"

#include "data/text.hpp"

namespace thq::exporter {

std::string_view sectionName(Section section) {
    switch (section) {
        case Section::Materias:
            return "MATERIAS";
        case Section::Tareas:
            return "TAREAS";
        case Section::Profesores:
            return "PROFESORES";
        case Section::Aulas:
            return "AULAS";
        case Section::Cursos:
            return "CURSOS";
        case Section::Grupos:
            return "GRUPOS";
        case Section::Intervalos:
            return "INTERVALOS";
    }
    return "";
}

SectionRow::SectionRow(Section section, data::XmlNode node, std::size_t number,
                       Diagnostics& diagnostics)
    : section_(section),
      number_(number),
      values_(node.childElements("salida")),
      diagnostics_(&diagnostics) {}

std::string SectionRow::value(std::size_t n) const {
    return n < values_.size() ? textOf(values_[n], "valor " + std::to_string(n)) : std::string();
}

std::string SectionRow::written(std::size_t n) const {
    return n < values_.size() ? std::string(text::trim(values_[n].text())) : std::string();
}

std::string SectionRow::textOf(const data::XmlNode& value, const std::string& what) const {
    const std::string content = value.text();
    const std::string_view trimmed = text::trim(content);
    std::string converted = text::utf8ToCp1252(trimmed);
    if (diagnostics_->recording() && !text::representableInCp1252(trimmed)) {
        diagnostics_->add(Severity::Warning, sectionName(section_), number_,
                          what + ": " + text::quoted(trimmed) +
                              " tiene caracteres que Windows-1252 no tiene y se guarda como " +
                              text::quoted(text::cp1252ToUtf8(converted)));
    }
    return converted;
}

std::vector<SectionRow> readSection(const data::XmlDocument& document, Section section,
                                    Diagnostics& diagnostics) {
    const std::string pattern =
        "/SERVICIO/SALIDAS/listasal[@seq=\"" + std::string(sectionName(section)) + "\"]/listasal";
    std::vector<SectionRow> rows;
    std::size_t number = 0;
    for (const auto& node : document.selectNodes(pattern))
        rows.emplace_back(section, node, ++number, diagnostics);
    return rows;
}

}  // namespace thq::exporter
