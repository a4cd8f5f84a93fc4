#include "import/lookup_indexes.hpp"

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

void indexLessons(data::DbfTable& soluc, LookupIndexes& indexes) {
    scan(soluc, [&](data::DbfTable& t) {
        Lesson lesson;
        lesson.recordNumber = t.currentRecordNumber();
        lesson.day = t.integer("DIA");
        lesson.dayText = t.text("DIA");
        lesson.hour = t.integer("HORA");
        lesson.subject = t.text("ASIG");
        lesson.group = t.text("CODGRUPO");
        lesson.activity = t.text("TAREA");
        lesson.room = t.text("AULA");
        indexes.lessonsByTeacher[t.text("PROF")].push_back(std::move(lesson));
    });
}

}  // namespace

LookupIndexes buildLookupIndexes(const ImportTables& tables) {
    LookupIndexes indexes;
    indexLessons(tables.soluc, indexes);
    scan(tables.asigt, [&](data::DbfTable& t) {
        indexes.subjectKeyByAssignment.try_emplace(pairKey(t.text("CASIG"), t.text("CGRUP")),
                                                   t.text("CLAVE"));
    });
    scan(tables.asignomt, [&](data::DbfTable& t) {
        indexes.taskIdByCode.try_emplace(t.text("COD"), t.text("CODTAREA"));
    });
    scan(tables.grupost, [&](data::DbfTable& t) {
        indexes.groupByCode.try_emplace(t.text("ABREV"),
                                        GroupKeys{t.text("CLAVE"), t.text("CLAVECURSO")});
    });
    scan(tables.asignomt2, [&](data::DbfTable& t) {
        indexes.subjectByCodeAndCourse.try_emplace(
            pairKey(t.text("COD"), t.text("CLAVECURSO")),
            SubjectByCourse{t.text("ALECTIVA"), t.text("MATERIA")});
    });
    scan(tables.diashorast, [&](data::DbfTable& t) {
        indexes.slotByKey.try_emplace(t.text("DIHO"), SlotKeys{t.text("DIA"), t.text("CODDIHO")});
    });
    scan(tables.aulat, [&](data::DbfTable& t) {
        indexes.roomIdByCode.try_emplace(t.text("ABREV"), t.text("DEPCENTRO"));
    });
    return indexes;
}

}  // namespace thq::importer
