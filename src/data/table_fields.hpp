#pragma once
// The fields of the nine work tables, defined once: each table's layout, and a constant per
// field derived from it that carries the field's place in the layout, its name, type and
// width. The constants are typed by their table, so a misspelt field, or a field of one table
// used on another, does not compile; writing or reading through one is an index.
//
//   assignments.setDerivedValue(ASIGT::CASIG, code);
//   soluc.text(SOLUC::PROF);
#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "data/dbf_fields.hpp"

namespace thq::data {

enum class WorkTable {
    Asignomt,
    Asignomt2,
    Proft,
    Aulat,
    Cursost,
    Grupost,
    Asigt,
    Diashorast,
    Soluc
};

// A field of a layout as the export creates it; `width` matters for text fields only.
struct FieldDefinition {
    std::string_view name;
    FieldType type = FieldType::Text;
    int width = 0;
};

namespace layouts {

using enum FieldType;

inline constexpr std::array<FieldDefinition, 6> kAsignomt{{
    {"COD", Text, 4},
    {"CODLARGO", Text, 8},
    {"NOMBRE", Text, 40},
    {"MATERIA", Text, 8},
    {"CODTAREA", Text, 12},
    {"ESTAREA", Logical, 0},
}};
inline constexpr std::array<FieldDefinition, 6> kAsignomt2{{
    {"COD", Text, 4},
    {"CODLARGO", Text, 8},
    {"NOMBRE", Text, 40},
    {"MATERIA", Text, 8},
    {"CLAVECURSO", Text, 12},
    {"ALECTIVA", Text, 1},
}};
inline constexpr std::array<FieldDefinition, 6> kProft{{
    {"ABREV", Text, 4},
    {"NOMBRE", Text, 40},
    {"DEPART", Text, 40},
    {"DNI", Integer, 0},
    {"X_EMPLEADO", Text, 10},
    {"F_TOMAPOS", Text, 10},
}};
inline constexpr std::array<FieldDefinition, 5> kAulat{{
    {"ABREV", Text, 4},
    {"NOMBRE", Text, 40},
    {"EDIFICIO", Text, 1},
    {"MAXALUM", Integer, 0},
    {"DEPCENTRO", Text, 10},
}};
inline constexpr std::array<FieldDefinition, 5> kCursost{{
    {"ABREV", Text, 3},
    {"TURNO", Text, 1},
    {"NIVEL", Text, 5},
    {"CURSO", Text, 3},
    {"CLAVE", Text, 10},
}};
inline constexpr std::array<FieldDefinition, 8> kGrupost{{
    {"ABREV", Text, 4},
    {"TURNO", Text, 1},
    {"NIVEL", Text, 5},
    {"CURSO", Text, 3},
    {"GRUPO", Text, 2},
    {"CLAVE", Text, 10},
    {"CLAVECURSO", Text, 10},
    {"DESCRIP", Text, 40},
}};
inline constexpr std::array<FieldDefinition, 13> kAsigt{{
    {"CASIG", Text, 4},
    {"CPROF", Text, 4},
    {"CGRUP", Text, 4},
    {"CAULA", Text, 4},
    {"TURNO", Text, 1},
    {"NIVEL", Text, 5},
    {"CURSO", Text, 3},
    {"GRUPO", Text, 2},
    {"HORAS", Number, 0},
    {"SESIONES", Text, 20},
    {"CLAVE", Text, 10},
    {"CLAVECURSO", Text, 10},
    {"CTAREA", Text, 4},
}};
inline constexpr std::array<FieldDefinition, 9> kDiashorast{{
    {"DIHO", Text, 10},
    {"CODDIHO", Text, 10},
    {"DIA", Text, 20},
    {"TEXTODIA", Text, 20},
    {"HORA", Text, 8},
    {"TEXTOHOR", Text, 8},
    {"HORADESDE", Text, 8},
    {"HORAHASTA", Text, 8},
    {"MINUTOS", Text, 8},
}};
// The timetable program writes SOLUC; these are the fields it holds.
inline constexpr std::array<FieldDefinition, 12> kSoluc{{
    {"ASIG", Text, 4},
    {"PROF", Text, 4},
    {"CODGRUPO", Text, 4},
    {"TURNO", Text, 1},
    {"NIVEL", Text, 5},
    {"CURSO", Text, 3},
    {"GRUPO", Text, 1},
    {"AULA", Text, 4},
    {"TAREA", Text, 4},
    {"DIA", Number, 0},
    {"HORA", Number, 0},
    {"SESIONES", Number, 0},
}};

}  // namespace layouts

// The fields of a work table, in table order.
constexpr std::span<const FieldDefinition> fieldsOf(WorkTable table) {
    switch (table) {
        case WorkTable::Asignomt:
            return layouts::kAsignomt;
        case WorkTable::Asignomt2:
            return layouts::kAsignomt2;
        case WorkTable::Proft:
            return layouts::kProft;
        case WorkTable::Aulat:
            return layouts::kAulat;
        case WorkTable::Cursost:
            return layouts::kCursost;
        case WorkTable::Grupost:
            return layouts::kGrupost;
        case WorkTable::Asigt:
            return layouts::kAsigt;
        case WorkTable::Diashorast:
            return layouts::kDiashorast;
        case WorkTable::Soluc:
            return layouts::kSoluc;
    }
    return {};
}

// A field of the work table `Table`.
template <WorkTable Table>
struct TableField {
    std::size_t index = 0;  // its place in the table's layout
    std::string_view name;
    FieldType type = FieldType::Text;
    int width = 0;
};

namespace detail {
// Reached only by a field name that the table's layout lacks: not a constant expression, so
// the constant that asks for it does not compile.
inline void noSuchFieldInThisTable() {}
}  // namespace detail

template <WorkTable Table>
consteval TableField<Table> fieldOf(std::string_view name) {
    const auto fields = fieldsOf(Table);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name == name) return {i, fields[i].name, fields[i].type, fields[i].width};
    }
    detail::noSuchFieldInThisTable();
    return {};
}

// One namespace per table, named as the table is, holding a constant per field, named as the
// field is.
namespace ASIGNOMT {
inline constexpr auto COD = fieldOf<WorkTable::Asignomt>("COD");
inline constexpr auto CODLARGO = fieldOf<WorkTable::Asignomt>("CODLARGO");
inline constexpr auto NOMBRE = fieldOf<WorkTable::Asignomt>("NOMBRE");
inline constexpr auto MATERIA = fieldOf<WorkTable::Asignomt>("MATERIA");
inline constexpr auto CODTAREA = fieldOf<WorkTable::Asignomt>("CODTAREA");
inline constexpr auto ESTAREA = fieldOf<WorkTable::Asignomt>("ESTAREA");
}  // namespace ASIGNOMT

namespace ASIGNOMT2 {
inline constexpr auto COD = fieldOf<WorkTable::Asignomt2>("COD");
inline constexpr auto CODLARGO = fieldOf<WorkTable::Asignomt2>("CODLARGO");
inline constexpr auto NOMBRE = fieldOf<WorkTable::Asignomt2>("NOMBRE");
inline constexpr auto MATERIA = fieldOf<WorkTable::Asignomt2>("MATERIA");
inline constexpr auto CLAVECURSO = fieldOf<WorkTable::Asignomt2>("CLAVECURSO");
inline constexpr auto ALECTIVA = fieldOf<WorkTable::Asignomt2>("ALECTIVA");
}  // namespace ASIGNOMT2

namespace PROFT {
inline constexpr auto ABREV = fieldOf<WorkTable::Proft>("ABREV");
inline constexpr auto NOMBRE = fieldOf<WorkTable::Proft>("NOMBRE");
inline constexpr auto DEPART = fieldOf<WorkTable::Proft>("DEPART");
inline constexpr auto DNI = fieldOf<WorkTable::Proft>("DNI");
inline constexpr auto X_EMPLEADO = fieldOf<WorkTable::Proft>("X_EMPLEADO");
inline constexpr auto F_TOMAPOS = fieldOf<WorkTable::Proft>("F_TOMAPOS");
}  // namespace PROFT

namespace AULAT {
inline constexpr auto ABREV = fieldOf<WorkTable::Aulat>("ABREV");
inline constexpr auto NOMBRE = fieldOf<WorkTable::Aulat>("NOMBRE");
inline constexpr auto EDIFICIO = fieldOf<WorkTable::Aulat>("EDIFICIO");
inline constexpr auto MAXALUM = fieldOf<WorkTable::Aulat>("MAXALUM");
inline constexpr auto DEPCENTRO = fieldOf<WorkTable::Aulat>("DEPCENTRO");
}  // namespace AULAT

namespace CURSOST {
inline constexpr auto ABREV = fieldOf<WorkTable::Cursost>("ABREV");
inline constexpr auto TURNO = fieldOf<WorkTable::Cursost>("TURNO");
inline constexpr auto NIVEL = fieldOf<WorkTable::Cursost>("NIVEL");
inline constexpr auto CURSO = fieldOf<WorkTable::Cursost>("CURSO");
inline constexpr auto CLAVE = fieldOf<WorkTable::Cursost>("CLAVE");
}  // namespace CURSOST

namespace GRUPOST {
inline constexpr auto ABREV = fieldOf<WorkTable::Grupost>("ABREV");
inline constexpr auto TURNO = fieldOf<WorkTable::Grupost>("TURNO");
inline constexpr auto NIVEL = fieldOf<WorkTable::Grupost>("NIVEL");
inline constexpr auto CURSO = fieldOf<WorkTable::Grupost>("CURSO");
inline constexpr auto GRUPO = fieldOf<WorkTable::Grupost>("GRUPO");
inline constexpr auto CLAVE = fieldOf<WorkTable::Grupost>("CLAVE");
inline constexpr auto CLAVECURSO = fieldOf<WorkTable::Grupost>("CLAVECURSO");
inline constexpr auto DESCRIP = fieldOf<WorkTable::Grupost>("DESCRIP");
}  // namespace GRUPOST

namespace ASIGT {
inline constexpr auto CASIG = fieldOf<WorkTable::Asigt>("CASIG");
inline constexpr auto CPROF = fieldOf<WorkTable::Asigt>("CPROF");
inline constexpr auto CGRUP = fieldOf<WorkTable::Asigt>("CGRUP");
inline constexpr auto CAULA = fieldOf<WorkTable::Asigt>("CAULA");
inline constexpr auto TURNO = fieldOf<WorkTable::Asigt>("TURNO");
inline constexpr auto NIVEL = fieldOf<WorkTable::Asigt>("NIVEL");
inline constexpr auto CURSO = fieldOf<WorkTable::Asigt>("CURSO");
inline constexpr auto GRUPO = fieldOf<WorkTable::Asigt>("GRUPO");
inline constexpr auto HORAS = fieldOf<WorkTable::Asigt>("HORAS");
inline constexpr auto SESIONES = fieldOf<WorkTable::Asigt>("SESIONES");
inline constexpr auto CLAVE = fieldOf<WorkTable::Asigt>("CLAVE");
inline constexpr auto CLAVECURSO = fieldOf<WorkTable::Asigt>("CLAVECURSO");
inline constexpr auto CTAREA = fieldOf<WorkTable::Asigt>("CTAREA");
}  // namespace ASIGT

namespace DIASHORAST {
inline constexpr auto DIHO = fieldOf<WorkTable::Diashorast>("DIHO");
inline constexpr auto CODDIHO = fieldOf<WorkTable::Diashorast>("CODDIHO");
inline constexpr auto DIA = fieldOf<WorkTable::Diashorast>("DIA");
inline constexpr auto TEXTODIA = fieldOf<WorkTable::Diashorast>("TEXTODIA");
inline constexpr auto HORA = fieldOf<WorkTable::Diashorast>("HORA");
inline constexpr auto TEXTOHOR = fieldOf<WorkTable::Diashorast>("TEXTOHOR");
inline constexpr auto HORADESDE = fieldOf<WorkTable::Diashorast>("HORADESDE");
inline constexpr auto HORAHASTA = fieldOf<WorkTable::Diashorast>("HORAHASTA");
inline constexpr auto MINUTOS = fieldOf<WorkTable::Diashorast>("MINUTOS");
}  // namespace DIASHORAST

namespace SOLUC {
inline constexpr auto ASIG = fieldOf<WorkTable::Soluc>("ASIG");
inline constexpr auto PROF = fieldOf<WorkTable::Soluc>("PROF");
inline constexpr auto CODGRUPO = fieldOf<WorkTable::Soluc>("CODGRUPO");
inline constexpr auto TURNO = fieldOf<WorkTable::Soluc>("TURNO");
inline constexpr auto NIVEL = fieldOf<WorkTable::Soluc>("NIVEL");
inline constexpr auto CURSO = fieldOf<WorkTable::Soluc>("CURSO");
inline constexpr auto GRUPO = fieldOf<WorkTable::Soluc>("GRUPO");
inline constexpr auto AULA = fieldOf<WorkTable::Soluc>("AULA");
inline constexpr auto TAREA = fieldOf<WorkTable::Soluc>("TAREA");
inline constexpr auto DIA = fieldOf<WorkTable::Soluc>("DIA");
inline constexpr auto HORA = fieldOf<WorkTable::Soluc>("HORA");
inline constexpr auto SESIONES = fieldOf<WorkTable::Soluc>("SESIONES");
}  // namespace SOLUC

}  // namespace thq::data
