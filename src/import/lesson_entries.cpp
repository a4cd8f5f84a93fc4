#include "import/lesson_entries.hpp"

#include "data/error.hpp"
#include "data/text.hpp"

namespace thq::importer {

void writeDataItem(data::XmlStreamWriter& out, const std::string& name,
                   const std::string& valueCp1252) {
    try {
        out.textElement("salida", "dato", name, text::cp1252ToUtf8(valueCp1252));
    } catch (const Error& error) {
        // A table text XML cannot carry (a control character): say which item it was.
        throw error.withDetail("dato " + name + ": " +
                               text::quoted(text::cp1252ToUtf8(valueCp1252)));
    }
}

namespace {

// The record an index holds for a key, made current in its table; false when none.
template <typename Reader>
bool lookUp(const Reader& reader, const RecordIndex& index, const std::string& key) {
    const auto it = index.find(key);
    if (it == index.end()) return false;
    reader.table().goTo(it->second);
    return true;
}

// What a lesson's SOLUC record says, read field by field as the lesson needs it.
struct Lesson {
    std::size_t recordNumber = 0;  // physical record number in SOLUC, from 0
    std::string subject;           // ASIG
    std::string group;             // CODGRUPO
    std::string activity;          // TAREA
    std::string dayText;           // DIA as text
    std::int32_t hour = 0;         // HORA as an integer
    std::string room;              // AULA
};

// What one lesson translates back to; every value starts empty for every lesson.
struct ResolvedLesson {
    std::string activity;
    std::string weekday;
    std::string slotCode;
    std::string room;
    std::string subjectKey;
    std::string groupKey;
};

// Notes, for the report, a lookup of a lesson that found no record.
class MissReporter {
public:
    MissReporter(Diagnostics& report, const Lesson& lesson) : report_(report), lesson_(lesson) {}
    // `code` is what was looked up; a blank one is a lesson without it, not a miss.
    void miss(const std::string& code, const std::string& what) const {
        if (text::isBlank(code)) return;
        report_.add(Severity::Warning, "SOLUC", lesson_.recordNumber + 1, what, "registro");
    }

private:
    Diagnostics& report_;
    const Lesson& lesson_;
};

std::string quotedText(const std::string& cp1252) {
    return text::quoted(text::cp1252ToUtf8(cp1252));
}

// Reads the lesson of the current SOLUC record and resolves it, in the order the fields are
// needed: subject and group, activity, group, subject fallback, slot, room.
ResolvedLesson resolve(const ImportTables& tables, const LookupIndexes& indexes, Lesson& lesson,
                       const MissReporter& reporter) {
    using namespace data;
    const auto& soluc = tables.soluc;
    ResolvedLesson resolved;
    lesson.subject = soluc.text(SOLUC::ASIG);
    lesson.group = soluc.text(SOLUC::CODGRUPO);
    if (lookUp(tables.asigt, indexes.assignmentByKey, pairKey(lesson.subject, lesson.group))) {
        resolved.subjectKey = tables.asigt.text(ASIGT::CLAVE);
    }
    lesson.activity = soluc.text(SOLUC::TAREA);
    resolved.activity = lesson.activity;
    if (lookUp(tables.asignomt, indexes.taskByCode, lesson.activity)) {
        resolved.activity = tables.asignomt.text(ASIGNOMT::CODTAREA);
    } else {
        reporter.miss(lesson.activity,
                      "la actividad " + quotedText(lesson.activity) +
                          " no está en ASIGNOMT: X_ACTIVIDAD lleva el código tal cual");
    }

    std::string courseKey;
    if (lookUp(tables.grupost, indexes.groupByCode, lesson.group)) {
        resolved.groupKey = tables.grupost.text(GRUPOST::CLAVE);
        courseKey = tables.grupost.text(GRUPOST::CLAVECURSO);
    } else {
        reporter.miss(lesson.group, "el grupo " + quotedText(lesson.group) +
                                        " no está en GRUPOST: X_UNIDAD queda vacío");
    }
    // Subjects taught outside the assignment table (tasks, or a group the export did not
    // pair) are found by their code within the group's course.
    if (text::isBlank(resolved.subjectKey)) {
        if (lookUp(tables.asignomt2, indexes.subjectByCodeAndCourse,
                   pairKey(lesson.subject, courseKey))) {
            resolved.subjectKey = text::isBlank(tables.asignomt2.text(ASIGNOMT2::ALECTIVA))
                                      ? std::string()
                                      : tables.asignomt2.text(ASIGNOMT2::MATERIA);
        } else {
            reporter.miss(lesson.subject,
                          "la materia " + quotedText(lesson.subject) + " del grupo " +
                              quotedText(lesson.group) +
                              " no está en ASIGT ni en ASIGNOMT2: X_MATERIAOMC queda vacío");
        }
    }
    lesson.dayText = soluc.text(SOLUC::DIA);
    lesson.hour = soluc.integer(SOLUC::HORA);
    const std::string slotKey = lesson.dayText + std::to_string(lesson.hour);
    if (lookUp(tables.diashorast, indexes.slotByKey, slotKey)) {
        resolved.weekday = tables.diashorast.text(DIASHORAST::DIA);
        resolved.slotCode = tables.diashorast.text(DIASHORAST::CODDIHO);
    } else {
        reporter.miss(slotKey, "el tramo " + quotedText(slotKey) + " (día " +
                                   text::escapeControls(text::cp1252ToUtf8(lesson.dayText)) +
                                   ", hora " + std::to_string(lesson.hour) +
                                   ") no está en DIASHORAST: N_DIASEMANA y X_TRAMO quedan vacíos");
    }
    lesson.room = soluc.text(SOLUC::AULA);
    if (lookUp(tables.aulat, indexes.roomByCode, lesson.room)) {
        resolved.room = tables.aulat.text(AULAT::DEPCENTRO);
    } else {
        reporter.miss(lesson.room, "el aula " + quotedText(lesson.room) +
                                       " no está en AULAT: X_DEPCENTRO queda vacío");
    }
    return resolved;
}

std::string lessonPlace(std::size_t recordNumber) {
    return "lección del registro " + std::to_string(recordNumber + 1) + " de SOLUC";
}

}  // namespace

std::size_t writeLessonEntries(data::XmlStreamWriter& out, const ImportTables& tables,
                               const LookupIndexes& indexes, const std::string& teacherAbbreviation,
                               Diagnostics& report) {
    const auto lessons = indexes.lessonsByTeacher.find(teacherAbbreviation);
    if (lessons == indexes.lessonsByTeacher.end()) return 0;
    std::size_t counter = 1;
    for (const std::size_t record : lessons->second) {
        Lesson lesson;
        lesson.recordNumber = record;
        ResolvedLesson resolved;
        try {
            tables.soluc.table().goTo(record);
            // The day decides first; a lesson without a day is not scheduled, and nothing
            // else of its record is read.
            if (tables.soluc.integer(data::SOLUC::DIA) == 0) continue;
            out.startElement("listasal", "seq", "TRAMO_" + std::to_string(counter++));
            resolved = resolve(tables, indexes, lesson, MissReporter(report, lesson));
            writeDataItem(out, "X_ACTIVIDAD", resolved.activity);
            writeDataItem(out, "N_DIASEMANA", resolved.weekday);
            writeDataItem(out, "X_TRAMO", resolved.slotCode);
            writeDataItem(out, "X_DEPCENTRO", resolved.room);
            writeDataItem(out, "X_MATERIAOMC", resolved.subjectKey);
            writeDataItem(out, "X_UNIDAD", resolved.groupKey);
            out.endElement("listasal");
        } catch (const Error& error) {
            const std::string detail = error.detail().empty()
                                           ? lessonPlace(record)
                                           : lessonPlace(record) + ", " + error.detail();
            throw error.withDetail(detail);
        }
    }
    return counter - 1;
}

}  // namespace thq::importer
