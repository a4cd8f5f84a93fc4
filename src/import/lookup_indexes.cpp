#include "import/lookup_indexes.hpp"

#include <initializer_list>

namespace thq::importer {

std::string pairKey(const std::string& first, const std::string& second) {
    std::string key = std::to_string(first.size());
    key.push_back(':');
    key.append(first).append(second);
    return key;
}

namespace {

template <typename Visit>
void scan(data::DbfTable& table, Visit visit) {
    table.filterOff();
    for (table.first(); !table.eof(); table.next()) visit(table);
}

// Key -> the first record that carries it.
template <typename Key>
RecordIndex indexBy(data::DbfTable& table, Key key) {
    RecordIndex index;
    scan(table, [&](data::DbfTable& t) { index.try_emplace(key(t), t.currentRecordNumber()); });
    return index;
}

void require(data::DbfTable& table, std::initializer_list<const char*> fields) {
    for (const char* field : fields) table.requireReadable(field);
}

}  // namespace

void requireImportFields(const ImportTables& tables) {
    require(tables.soluc, {"PROF", "DIA", "HORA", "ASIG", "CODGRUPO", "TAREA", "AULA"});
    require(tables.grupost, {"ABREV", "CLAVE", "CLAVECURSO"});
    require(tables.proft, {"X_EMPLEADO", "F_TOMAPOS", "ABREV"});
    require(tables.aulat, {"ABREV", "DEPCENTRO"});
    require(tables.asignomt, {"COD", "CODTAREA"});
    require(tables.asignomt2, {"COD", "CLAVECURSO", "ALECTIVA", "MATERIA"});
    require(tables.diashorast, {"DIHO", "DIA", "CODDIHO"});
    require(tables.asigt, {"CASIG", "CGRUP", "CLAVE"});
}

LookupIndexes buildLookupIndexes(const ImportTables& tables) {
    LookupIndexes indexes;
    // SOLUC's filter field, read of every record as the filter on PROF reads it.
    scan(tables.soluc, [&](data::DbfTable& t) {
        indexes.lessonsByTeacher[t.text("PROF")].add(t.currentRecordNumber());
    });
    indexes.assignmentByKey = indexBy(
        tables.asigt, [](data::DbfTable& t) { return pairKey(t.text("CASIG"), t.text("CGRUP")); });
    indexes.taskByCode = indexBy(tables.asignomt, [](data::DbfTable& t) { return t.text("COD"); });
    indexes.groupByCode =
        indexBy(tables.grupost, [](data::DbfTable& t) { return t.text("ABREV"); });
    indexes.subjectByCodeAndCourse = indexBy(tables.asignomt2, [](data::DbfTable& t) {
        return pairKey(t.text("COD"), t.text("CLAVECURSO"));
    });
    indexes.slotByKey =
        indexBy(tables.diashorast, [](data::DbfTable& t) { return t.text("DIHO"); });
    indexes.roomByCode = indexBy(tables.aulat, [](data::DbfTable& t) { return t.text("ABREV"); });
    return indexes;
}

}  // namespace thq::importer
