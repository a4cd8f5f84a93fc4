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
        indexes.lessonsByTeacher[t.text("PROF")].push_back(
            static_cast<std::uint32_t>(t.currentRecordNumber()));
    });
}

}  // namespace

Lesson readLesson(const data::DbfTable& soluc) {
    Lesson lesson;
    lesson.recordNumber = soluc.currentRecordNumber();
    lesson.day = soluc.integer("DIA");
    lesson.dayText = soluc.text("DIA");
    lesson.hour = soluc.integer("HORA");
    lesson.subject = soluc.text("ASIG");
    lesson.group = soluc.text("CODGRUPO");
    lesson.activity = soluc.text("TAREA");
    lesson.room = soluc.text("AULA");
    return lesson;
}

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
