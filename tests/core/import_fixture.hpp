#pragma once
// Small work-table sets and result-document readers for the import tests (header-only:
// every file of this folder ending in _test.cpp is one test program).
#include <libxml/tree.h>

#include <array>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "data/dbf_table.hpp"
#include "data/table_layouts.hpp"
#include "data/xml_document.hpp"

namespace thq::test {

// One record: field name -> value. Texts are Windows-1252 bytes; number, integer and
// logical fields take their text form ("3", "2.5", "T"); a field left out stays empty.
using Row = std::map<std::string, std::string>;

// The nine tables the import reads; an empty list gives an empty table.
struct WorkTables {
    std::vector<Row> soluc{};
    std::vector<Row> grupost{};
    std::vector<Row> cursost{};
    std::vector<Row> proft{};
    std::vector<Row> aulat{};
    std::vector<Row> asignomt{};
    std::vector<Row> asignomt2{};
    std::vector<Row> diashorast{};
    std::vector<Row> asigt{};
};

using data::FieldType;
using data::WorkTable;

namespace fixture_detail {

inline const data::FieldSpec& fieldOf(WorkTable table, const std::string& name) {
    for (const auto& field : data::layoutOf(table).fields) {
        if (field.name == name) return field;
    }
    throw std::invalid_argument("no field " + name + " in " +
                                std::string(data::layoutOf(table).name));
}

inline std::string nameOf(const xmlNode* node) {
    return node->name == nullptr ? std::string() : reinterpret_cast<const char*>(node->name);
}

inline std::vector<data::XmlNode> elementChildren(const data::XmlNode& parent) {
    std::vector<data::XmlNode> children;
    for (xmlNode* child = parent.raw()->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE) children.emplace_back(child);
    }
    return children;
}

inline bool isWhitespace(const xmlNode* node) {
    if (node->content == nullptr) return true;
    for (const xmlChar* c = node->content; *c != 0; ++c) {
        if (*c != ' ' && *c != '\t' && *c != '\n' && *c != '\r') return false;
    }
    return true;
}

inline constexpr std::array<std::string_view, 6> kLessonItems = {
    "X_ACTIVIDAD", "N_DIASEMANA", "X_TRAMO", "X_DEPCENTRO", "X_MATERIAOMC", "X_UNIDAD"};

inline std::string renderEntry(const data::XmlNode& entry) {
    const std::string seq = entry.attribute("seq").value_or("?");
    const auto items = elementChildren(entry);
    bool wellFormed = items.size() == kLessonItems.size();
    std::string values;
    std::string names;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::string dato = items[i].attribute("dato").value_or("?");
        if (items[i].name() != "salida" || i >= kLessonItems.size() || dato != kLessonItems[i]) {
            wellFormed = false;
        }
        if (i != 0) {
            names += ' ';
            values += '|';
        }
        names.append(items[i].name()).append(":").append(dato);
        values.append(items[i].text());
    }
    return wellFormed ? seq + "(" + values + ")" : seq + "{BAD " + names + "}";
}

inline std::string renderBlock(const data::XmlNode& block) {
    const auto children = elementChildren(block);
    std::string out;
    for (std::size_t i = 0; i < children.size(); ++i) {
        const auto& child = children[i];
        if (i < 2) {
            const char* expected = i == 0 ? "X_EMPLEADO" : "F_TOMAPOS";
            if (child.name() != "salida" || child.attribute("dato") != expected) {
                return "{BAD teacher item " + child.name() + "}";
            }
            if (i != 0) out += '/';
            out += child.text();
            if (i == 1) out += ":";
        } else if (child.name() == "listasal") {
            out += ' ';
            out += renderEntry(child);
        } else {
            out += " {BAD " + child.name() + "}";
        }
    }
    return out;
}

}  // namespace fixture_detail

using namespace fixture_detail;

// Writes a table with its work-table layout and these records, in order.
inline void writeTable(const std::filesystem::path& folder, WorkTable table,
                       const std::vector<Row>& rows) {
    data::DbfTable dbf(data::tableFile(folder, table));
    dbf.defineFields(data::layoutOf(table).fields);
    dbf.create();
    dbf.open(data::OpenMode::Exclusive);
    for (const auto& row : rows) {
        dbf.append();
        for (const auto& [name, value] : row) {
            switch (fieldOf(table, name).type) {
                case FieldType::Text:
                    dbf.setText(name, value);
                    break;
                case FieldType::Logical:
                    dbf.setLogical(name, value == "T");
                    break;
                case FieldType::Integer:
                case FieldType::Number:
                    if (!value.empty()) dbf.setNumber(name, std::stod(value));
                    break;
            }
        }
        dbf.post();
    }
    dbf.close();
}

// Writes all nine tables of the set into the folder.
inline void writeWorkTables(const std::filesystem::path& folder, const WorkTables& tables) {
    writeTable(folder, WorkTable::Soluc, tables.soluc);
    writeTable(folder, WorkTable::Grupost, tables.grupost);
    writeTable(folder, WorkTable::Cursost, tables.cursost);
    writeTable(folder, WorkTable::Proft, tables.proft);
    writeTable(folder, WorkTable::Aulat, tables.aulat);
    writeTable(folder, WorkTable::Asignomt, tables.asignomt);
    writeTable(folder, WorkTable::Asignomt2, tables.asignomt2);
    writeTable(folder, WorkTable::Diashorast, tables.diashorast);
    writeTable(folder, WorkTable::Asigt, tables.asigt);
}

// A SOLUC record. `day` and `hour` are the numbers' text ("" leaves the field empty).
inline Row lesson(const std::string& teacher, const std::string& subject, const std::string& group,
                  const std::string& room, const std::string& activity, const std::string& day,
                  const std::string& hour) {
    return {{"PROF", teacher},   {"ASIG", subject}, {"CODGRUPO", group}, {"AULA", room},
            {"TAREA", activity}, {"DIA", day},      {"HORA", hour},      {"SESIONES", "1"}};
}

// The teacher blocks under the root's last SALIDAS, one text each: "X_EMPLEADO/F_TOMAPOS:"
// then each lesson entry as " seq(X_ACTIVIDAD|N_DIASEMANA|X_TRAMO|X_DEPCENTRO|X_MATERIAOMC|
// X_UNIDAD)". An entry whose data items are not exactly those six in that order renders as
// "seq{BAD ...}", so that it cannot equal an expectation.
inline std::vector<std::string> renderTeacherBlocks(const data::XmlDocument& result) {
    std::vector<std::string> blocks;
    for (const auto& block : result.selectNodes("/*/SALIDAS[last()]/listasal")) {
        blocks.push_back(renderBlock(block));
    }
    return blocks;
}

// The root's child nodes in order: element names, "#comment", "#pi", "#text" (text that is
// not only whitespace).
inline std::vector<std::string> rootChildren(const data::XmlDocument& document) {
    std::vector<std::string> names;
    for (xmlNode* child = document.documentElement().raw()->children; child != nullptr;
         child = child->next) {
        switch (child->type) {
            case XML_ELEMENT_NODE:
                names.push_back(nameOf(child));
                break;
            case XML_COMMENT_NODE:
                names.emplace_back("#comment");
                break;
            case XML_PI_NODE:
                names.emplace_back("#pi");
                break;
            case XML_TEXT_NODE:
            case XML_CDATA_SECTION_NODE:
                if (!isWhitespace(child)) names.emplace_back("#text");
                break;
            default:
                names.emplace_back("#other");
                break;
        }
    }
    return names;
}

// True when the subtree holds any non-element node outside a `salida` element.
inline bool hasTextOutsideDataItems(const data::XmlNode& node) {
    if (node.name() == "salida") return false;
    for (xmlNode* child = node.raw()->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE) {
            if (hasTextOutsideDataItems(data::XmlNode(child))) return true;
        } else {
            return true;
        }
    }
    return false;
}

// Opens each of the nine tables that exists exclusively and closes it again: "" when all
// opened, else the first error's message.
inline std::string openEachExclusively(const std::filesystem::path& folder) {
    for (const auto table : {WorkTable::Soluc, WorkTable::Grupost, WorkTable::Cursost,
                             WorkTable::Proft, WorkTable::Aulat, WorkTable::Asignomt,
                             WorkTable::Asignomt2, WorkTable::Diashorast, WorkTable::Asigt}) {
        const auto file = data::tableFile(folder, table);
        if (!std::filesystem::exists(file)) continue;
        try {
            data::DbfTable dbf(file);
            dbf.open(data::OpenMode::Exclusive);
            dbf.close();
        } catch (const std::exception& e) {
            return e.what();
        }
    }
    return {};
}

}  // namespace thq::test
