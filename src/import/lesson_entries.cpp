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
        throw Error(error.what(),
                    "dato " + name + ": " + text::quoted(text::cp1252ToUtf8(valueCp1252)));
    }
}

namespace {

template <typename Map>
const typename Map::mapped_type* find(const Map& map, const std::string& key) {
    const auto it = map.find(key);
    return it == map.end() ? nullptr : &it->second;
}

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
    MissReporter(Findings* report, const Lesson& lesson) : report_(report), lesson_(lesson) {}
    // `code` is what was looked up; a blank one is a lesson without it, not a miss.
    void miss(const std::string& code, const std::string& what) const {
        if (report_ == nullptr || text::isBlank(code)) return;
        report_->add(Severity::Warning, "SOLUC", lesson_.recordNumber + 1, what, "registro");
    }

private:
    Findings* report_;
    const Lesson& lesson_;
};

std::string quoted(const std::string& cp1252) { return text::quoted(text::cp1252ToUtf8(cp1252)); }

ResolvedLesson resolve(const LookupIndexes& indexes, const Lesson& lesson,
                       const MissReporter& reporter) {
    ResolvedLesson resolved;
    if (const auto* key =
            find(indexes.subjectKeyByAssignment, pairKey(lesson.subject, lesson.group))) {
        resolved.subjectKey = *key;
    }
    resolved.activity = lesson.activity;
    if (const auto* taskId = find(indexes.taskIdByCode, lesson.activity)) {
        resolved.activity = *taskId;
    } else {
        reporter.miss(lesson.activity,
                      "la actividad " + quoted(lesson.activity) +
                          " no está en ASIGNOMT: X_ACTIVIDAD lleva el código tal cual");
    }

    std::string courseKey;
    if (const auto* group = find(indexes.groupByCode, lesson.group)) {
        resolved.groupKey = group->groupKey;
        courseKey = group->courseKey;
    } else {
        reporter.miss(lesson.group, "el grupo " + quoted(lesson.group) +
                                        " no está en GRUPOST: X_UNIDAD queda vacío");
    }
    // Subjects taught outside the assignment table (tasks, or a group the export did not
    // pair) are found by their code within the group's course.
    if (text::isBlank(resolved.subjectKey)) {
        if (const auto* subject =
                find(indexes.subjectByCodeAndCourse, pairKey(lesson.subject, courseKey))) {
            resolved.subjectKey = text::isBlank(subject->mark) ? std::string() : subject->subjectId;
        } else {
            reporter.miss(lesson.subject,
                          "la materia " + quoted(lesson.subject) + " del grupo " +
                              quoted(lesson.group) +
                              " no está en ASIGT ni en ASIGNOMT2: X_MATERIAOMC queda vacío");
        }
    }
    const std::string slotKey = lesson.dayText + std::to_string(lesson.hour);
    if (const auto* slot = find(indexes.slotByKey, slotKey)) {
        resolved.weekday = slot->weekday;
        resolved.slotCode = slot->slotCode;
    } else {
        reporter.miss(slotKey, "el tramo " + quoted(slotKey) + " (día " +
                                   text::escapeControls(text::cp1252ToUtf8(lesson.dayText)) +
                                   ", hora " + std::to_string(lesson.hour) +
                                   ") no está en DIASHORAST: N_DIASEMANA y X_TRAMO quedan vacíos");
    }
    if (const auto* room = find(indexes.roomIdByCode, lesson.room)) {
        resolved.room = *room;
    } else {
        reporter.miss(lesson.room, "el aula " + quoted(lesson.room) +
                                       " no está en AULAT: X_DEPCENTRO queda vacío");
    }
    return resolved;
}

}  // namespace

std::size_t writeLessonEntries(data::XmlStreamWriter& out, data::DbfTable& soluc,
                               const LookupIndexes& indexes, const std::string& teacherAbbreviation,
                               Findings* report) {
    const auto* records = find(indexes.lessonsByTeacher, teacherAbbreviation);
    if (records == nullptr) return 0;
    std::size_t counter = 1;
    for (const std::uint32_t record : *records) {
        soluc.moveTo(record);
        const Lesson lesson = readLesson(soluc);
        if (lesson.day == 0) continue;  // a lesson without a day is not scheduled
        out.startElement("listasal", "seq", "TRAMO_" + std::to_string(counter++));
        const ResolvedLesson resolved = resolve(indexes, lesson, MissReporter(report, lesson));
        try {
            writeDataItem(out, "X_ACTIVIDAD", resolved.activity);
            writeDataItem(out, "N_DIASEMANA", resolved.weekday);
            writeDataItem(out, "X_TRAMO", resolved.slotCode);
            writeDataItem(out, "X_DEPCENTRO", resolved.room);
            writeDataItem(out, "X_MATERIAOMC", resolved.subjectKey);
            writeDataItem(out, "X_UNIDAD", resolved.groupKey);
        } catch (const Error& error) {
            throw Error(error.what(), "lección del registro " +
                                          std::to_string(lesson.recordNumber + 1) + " de SOLUC, " +
                                          error.detail());
        }
        out.endElement("listasal");
    }
    return counter - 1;
}

}  // namespace thq::importer
