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

SectionRow::SectionRow(data::XmlNode node, std::size_t number)
    : number_(number), values_(node.childElements("salida")) {}

std::string SectionRow::value(std::size_t n) const {
    return n < values_.size() ? valueText(values_[n]) : std::string();
}

std::string valueText(const data::XmlNode& value) {
    const std::string content = value.text();
    return text::utf8ToCp1252(text::trim(content));
}

std::vector<SectionRow> readSection(const data::XmlDocument& document, Section section) {
    const std::string pattern =
        "/SERVICIO/SALIDAS/listasal[@seq=\"" + std::string(sectionName(section)) + "\"]/listasal";
    std::vector<SectionRow> rows;
    std::size_t number = 0;
    for (const auto& node : document.selectNodes(pattern)) rows.emplace_back(node, ++number);
    return rows;
}

}  // namespace thq::exporter
