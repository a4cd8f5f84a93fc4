#pragma once
// Reading the school-management document: sections, rows and values.
//
// A section is a `listasal` element under /SERVICIO/SALIDAS whose `seq` names it; its rows
// are its `listasal` children and a row's values are its `salida` children, numbered from 0.
// Every section of the same name contributes its rows, in document order.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "data/findings.hpp"
#include "data/xml_document.hpp"

namespace thq::exporter {

enum class Section { Materias, Tareas, Profesores, Aulas, Cursos, Grupos, Intervalos };

std::string_view sectionName(Section section);

class SectionRow {
public:
    // `diagnostics` hears of values that Windows-1252 cannot hold; it outlives the row.
    SectionRow(Section section, data::XmlNode node, std::size_t number, Diagnostics& diagnostics);

    Section section() const { return section_; }
    // 1-based position of the row within its section, in document order.
    std::size_t number() const { return number_; }
    std::size_t valueCount() const { return values_.size(); }
    // Rows with fewer than two values are skipped by the position-reading steps.
    bool hasEnoughValues() const { return values_.size() >= 2; }
    // Value n trimmed of the characters 0 to 32 and converted to Windows-1252;
    // a value the row lacks reads as empty.
    std::string value(std::size_t n) const;
    // Value n trimmed, as the document wrote it (UTF-8), for messages.
    std::string written(std::size_t n) const;
    const std::vector<data::XmlNode>& values() const { return values_; }
    // The trimmed Windows-1252 text of one of the row's value elements; `what` names it
    // in a finding ("valor 2", "dato NOMBRE").
    std::string textOf(const data::XmlNode& value, const std::string& what) const;

private:
    Section section_;
    std::size_t number_;
    std::vector<data::XmlNode> values_;
    Diagnostics* diagnostics_;
};

std::vector<SectionRow> readSection(const data::XmlDocument& document, Section section,
                                    Diagnostics& diagnostics);

}  // namespace thq::exporter
