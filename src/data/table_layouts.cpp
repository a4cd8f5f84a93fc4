#include "data/table_layouts.hpp"

#include <array>
#include <stdexcept>

namespace thq::data {
namespace {

FieldSpec text(const char* name, int width) { return {name, FieldType::Text, width}; }
FieldSpec integer(const char* name) { return {name, FieldType::Integer, 0}; }
FieldSpec logical(const char* name) { return {name, FieldType::Logical, 0}; }
FieldSpec number(const char* name) { return {name, FieldType::Number, 0}; }

std::vector<TableLayout> makeLayouts() {
    std::vector<TableLayout> layouts;
    layouts.push_back({WorkTable::Asignomt,
                       "ASIGNOMT",
                       "wwTableNomAsg",
                       {text("COD", 4), text("CODLARGO", 8), text("NOMBRE", 40), text("MATERIA", 8),
                        text("CODTAREA", 12), logical("ESTAREA")}});
    layouts.push_back({WorkTable::Asignomt2,
                       "ASIGNOMT2",
                       "wwTableNOMASG2",
                       {text("COD", 4), text("CODLARGO", 8), text("NOMBRE", 40), text("MATERIA", 8),
                        text("CLAVECURSO", 12), text("ALECTIVA", 1)}});
    layouts.push_back({WorkTable::Proft,
                       "PROFT",
                       "wwTableProfesor",
                       {text("ABREV", 4), text("NOMBRE", 40), text("DEPART", 40), integer("DNI"),
                        text("X_EMPLEADO", 10), text("F_TOMAPOS", 10)}});
    layouts.push_back({WorkTable::Aulat,
                       "AULAT",
                       "wwTableAulas",
                       {text("ABREV", 4), text("NOMBRE", 40), text("EDIFICIO", 1),
                        integer("MAXALUM"), text("DEPCENTRO", 10)}});
    layouts.push_back({WorkTable::Cursost,
                       "CURSOST",
                       "wwTableCursos",
                       {text("ABREV", 3), text("TURNO", 1), text("NIVEL", 5), text("CURSO", 3),
                        text("CLAVE", 10)}});
    layouts.push_back(
        {WorkTable::Grupost,
         "GRUPOST",
         "wwTableGrupos",
         {text("ABREV", 4), text("TURNO", 1), text("NIVEL", 5), text("CURSO", 3), text("GRUPO", 2),
          text("CLAVE", 10), text("CLAVECURSO", 10), text("DESCRIP", 40)}});
    layouts.push_back(
        {WorkTable::Asigt,
         "ASIGT",
         "wwTableAsig",
         {text("CASIG", 4), text("CPROF", 4), text("CGRUP", 4), text("CAULA", 4), text("TURNO", 1),
          text("NIVEL", 5), text("CURSO", 3), text("GRUPO", 2), number("HORAS"),
          text("SESIONES", 20), text("CLAVE", 10), text("CLAVECURSO", 10), text("CTAREA", 4)}});
    layouts.push_back({WorkTable::Diashorast,
                       "DIASHORAST",
                       "wwTableTramos",
                       {text("DIHO", 10), text("CODDIHO", 10), text("DIA", 20),
                        text("TEXTODIA", 20), text("HORA", 8), text("TEXTOHOR", 8),
                        text("HORADESDE", 8), text("HORAHASTA", 8), text("MINUTOS", 8)}});
    layouts.push_back({WorkTable::Soluc,
                       "SOLUC",
                       "wwTableSoluc",
                       {text("ASIG", 4), text("PROF", 4), text("CODGRUPO", 4), text("TURNO", 1),
                        text("NIVEL", 5), text("CURSO", 3), text("GRUPO", 1), text("AULA", 4),
                        text("TAREA", 4), number("DIA"), number("HORA"), number("SESIONES")}});
    return layouts;
}

const std::vector<TableLayout>& allLayouts() {
    static const std::vector<TableLayout> layouts = makeLayouts();
    return layouts;
}

constexpr std::array<WorkTable, 8> kExportTables = {
    WorkTable::Asignomt, WorkTable::Asignomt2, WorkTable::Proft, WorkTable::Aulat,
    WorkTable::Cursost,  WorkTable::Grupost,   WorkTable::Asigt, WorkTable::Diashorast};

}  // namespace

const TableLayout& layoutOf(WorkTable table) {
    for (const auto& layout : allLayouts()) {
        if (layout.table == table) return layout;
    }
    throw std::logic_error("unknown work table");
}

std::span<const WorkTable> exportTables() { return kExportTables; }

std::filesystem::path tableFile(const std::filesystem::path& folder, WorkTable table) {
    return folder / (std::string(layoutOf(table).name) + ".DBF");
}

std::filesystem::path indexFile(const std::filesystem::path& folder, WorkTable table) {
    return folder / (std::string(layoutOf(table).name) + ".MDX");
}

}  // namespace thq::data
