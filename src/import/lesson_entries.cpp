#include "import/lesson_entries.hpp"

#include "data/text.hpp"

namespace thq::importer {

void appendDataItem(data::XmlDocument& document, data::XmlNode parent, const std::string& name,
                    const std::string& valueCp1252) {
    auto item = document.createElement("salida");
    item.setAttribute("dato", name);
    item.setText(text::cp1252ToUtf8(valueCp1252));
    parent.appendChild(item);
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

ResolvedLesson resolve(const LookupIndexes& indexes, const Lesson& lesson) {
    ResolvedLesson resolved;
    if (const auto* key =
            find(indexes.subjectKeyByAssignment, pairKey(lesson.subject, lesson.group))) {
        resolved.subjectKey = *key;
    }
    resolved.activity = lesson.activity;
    if (const auto* taskId = find(indexes.taskIdByCode, lesson.activity))
        resolved.activity = *taskId;

    std::string courseKey;
    if (const auto* group = find(indexes.groupByCode, lesson.group)) {
        resolved.groupKey = group->groupKey;
        courseKey = group->courseKey;
    }
    // Subjects taught outside the assignment table (tasks, or a group the export did not
    // pair) are found by their code within the group's course.
    if (text::isBlank(resolved.subjectKey)) {
        if (const auto* subject =
                find(indexes.subjectByCodeAndCourse, pairKey(lesson.subject, courseKey))) {
            resolved.subjectKey = text::isBlank(subject->mark) ? std::string() : subject->subjectId;
        }
    }
    const std::string slotKey = lesson.dayText + std::to_string(lesson.hour);
    if (const auto* slot = find(indexes.slotByKey, slotKey)) {
        resolved.weekday = slot->weekday;
        resolved.slotCode = slot->slotCode;
    }
    if (const auto* room = find(indexes.roomIdByCode, lesson.room)) resolved.room = *room;
    return resolved;
}

}  // namespace

std::size_t AppendLessonEntries(data::XmlDocument& document, const LookupIndexes& indexes,
                                const std::string& teacherAbbreviation,
                                data::XmlNode teacherBlock) {
    const auto* lessons = find(indexes.lessonsByTeacher, teacherAbbreviation);
    if (lessons == nullptr) return 0;
    std::size_t counter = 1;
    for (const auto& lesson : *lessons) {
        if (lesson.day == 0) continue;  // a lesson without a day is not scheduled
        auto entry = document.createElement("listasal");
        entry.setAttribute("seq", "TRAMO_" + std::to_string(counter++));
        teacherBlock.appendChild(entry);
        const ResolvedLesson resolved = resolve(indexes, lesson);
        appendDataItem(document, entry, "X_ACTIVIDAD", resolved.activity);
        appendDataItem(document, entry, "N_DIASEMANA", resolved.weekday);
        appendDataItem(document, entry, "X_TRAMO", resolved.slotCode);
        appendDataItem(document, entry, "X_DEPCENTRO", resolved.room);
        appendDataItem(document, entry, "X_MATERIAOMC", resolved.subjectKey);
        appendDataItem(document, entry, "X_UNIDAD", resolved.groupKey);
    }
    return counter - 1;
}

}  // namespace thq::importer
