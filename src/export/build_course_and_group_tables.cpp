// CURSOST and GRUPOST. Each group carries the level and course text of its course, as the
// course table stored them, and a short code unique among the groups of the run.
#include <unordered_map>

#include "data/text.hpp"
#include "export/export_state.hpp"

namespace thq::exporter {
namespace {

struct CourseTexts {
    std::string level;
    std::string course;
};

// Writes the course records and returns the first course stored under each key, read back
// from the table so that the groups see the stored (cut) texts.
std::unordered_map<std::string, CourseTexts> writeCourses(ExportState& state) {
    TableWriter table(state, data::WorkTable::Cursost);
    for (const auto& row : state.rows(Section::Cursos)) {
        if (!state.usable(row)) continue;
        std::string level = row.value(3);
        if (level.empty()) level = "NIV";
        table.append();
        table.put(row, "CLAVE", row.value(0));
        table.put(row, "NIVEL", level);
        table.put(row, "CURSO", row.value(4));
        table.post();
    }
    table.close();
    std::unordered_map<std::string, CourseTexts> firstByKey;
    auto courses = openBuiltTable(state, data::WorkTable::Cursost);
    for (courses->first(); !courses->eof(); courses->next()) {
        firstByKey.try_emplace(courses->text("CLAVE"),
                               CourseTexts{courses->text("NIVEL"), courses->text("CURSO")});
    }
    courses->close();
    return firstByKey;
}

std::string lastCharacter(const std::string& s) { return s.empty() ? "" : s.substr(s.size() - 1); }

}  // namespace

void BuildCourseAndGroupTables(ExportState& state) {
    ShortCodeRegistry usedGroupCodes;
    const auto courses = writeCourses(state);
    TableWriter table(state, data::WorkTable::Grupost);
    for (const auto& row : state.rows(Section::Grupos)) {
        if (!state.usable(row)) continue;
        const std::string groupKey = row.value(0);
        const std::string groupName = row.value(1);
        const std::string courseKey = row.value(2);
        CourseTexts course;
        if (auto found = courses.find(courseKey); found != courses.end()) {
            course = found->second;
        } else {
            state.warn(row, "el curso " + text::quoted(text::cp1252ToUtf8(courseKey)) +
                                " no está en CURSOS: el grupo queda sin NIVEL ni CURSO");
        }
        const std::string letter = lastCharacter(groupName);
        const std::string base(text::trim(text::firstChars(groupName, kShortCodeWidth)));
        const std::string code = state.allocateCode(usedGroupCodes, base, 3, row, groupName);
        table.append();
        table.set("ABREV", code);
        table.set("NIVEL", course.level);
        table.set("CURSO", course.course);
        table.set("GRUPO", letter);
        table.put(row, "CLAVE", groupKey);
        table.put(row, "CLAVECURSO", courseKey);
        table.set("DESCRIP", course.level + " " + course.course + " " + letter);
        table.post();
    }
    table.close();
}

}  // namespace thq::exporter
