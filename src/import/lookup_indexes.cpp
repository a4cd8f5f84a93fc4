#include "import/lookup_indexes.hpp"

namespace thq::importer {

std::string pairKey(const std::string& first, const std::string& second) {
    std::string key = std::to_string(first.size());
    key.push_back(':');
    key.append(first).append(second);
    return key;
}

namespace {

// Calls `visit` on every record of the table, from the first.
template <typename Reader, typename Visit>
void scan(const Reader& reader, Visit visit) {
    data::DbfTable& table = reader.table();
    table.filterOff();
    for (table.first(); !table.eof(); table.next()) visit(reader);
}

// Key -> the first record that carries it.
template <typename Reader, typename Key>
RecordIndex indexBy(const Reader& reader, Key key) {
    RecordIndex index;
    scan(reader,
         [&](const Reader& r) { index.try_emplace(key(r), r.table().currentRecordNumber()); });
    return index;
}

}  // namespace

void requireImportFields(const ImportTables& tables) {
    using namespace data;
    tables.soluc.require({SOLUC::PROF, SOLUC::DIA, SOLUC::HORA, SOLUC::ASIG, SOLUC::CODGRUPO,
                          SOLUC::TAREA, SOLUC::AULA});
    tables.grupost.require({GRUPOST::ABREV, GRUPOST::CLAVE, GRUPOST::CLAVECURSO});
    tables.proft.require({PROFT::X_EMPLEADO, PROFT::F_TOMAPOS, PROFT::ABREV});
    tables.aulat.require({AULAT::ABREV, AULAT::DEPCENTRO});
    tables.asignomt.require({ASIGNOMT::COD, ASIGNOMT::CODTAREA});
    tables.asignomt2.require(
        {ASIGNOMT2::COD, ASIGNOMT2::CLAVECURSO, ASIGNOMT2::ALECTIVA, ASIGNOMT2::MATERIA});
    tables.diashorast.require({DIASHORAST::DIHO, DIASHORAST::DIA, DIASHORAST::CODDIHO});
    tables.asigt.require({ASIGT::CASIG, ASIGT::CGRUP, ASIGT::CLAVE});
}

LookupIndexes buildLookupIndexes(const ImportTables& tables) {
    using namespace data;
    LookupIndexes indexes;
    // SOLUC's filter field, read of every record as the filter on PROF reads it.
    scan(tables.soluc, [&](const auto& t) {
        indexes.lessonsByTeacher[t.text(SOLUC::PROF)].add(t.table().currentRecordNumber());
    });
    indexes.assignmentByKey = indexBy(tables.asigt, [](const auto& t) {
        return pairKey(t.text(ASIGT::CASIG), t.text(ASIGT::CGRUP));
    });
    indexes.taskByCode =
        indexBy(tables.asignomt, [](const auto& t) { return t.text(ASIGNOMT::COD); });
    indexes.groupByCode =
        indexBy(tables.grupost, [](const auto& t) { return t.text(GRUPOST::ABREV); });
    indexes.subjectByCodeAndCourse = indexBy(tables.asignomt2, [](const auto& t) {
        return pairKey(t.text(ASIGNOMT2::COD), t.text(ASIGNOMT2::CLAVECURSO));
    });
    indexes.slotByKey =
        indexBy(tables.diashorast, [](const auto& t) { return t.text(DIASHORAST::DIHO); });
    indexes.roomByCode = indexBy(tables.aulat, [](const auto& t) { return t.text(AULAT::ABREV); });
    return indexes;
}

}  // namespace thq::importer
