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
    TableWriter<data::WorkTable::Cursost> table(state);
    for (const auto& row : state.rows(Section::Cursos)) {
        if (!state.usable(row)) continue;
        std::string level = row.value(3);
        if (level.empty()) level = "NIV";
        table.append();
        table.setDocumentValue(row, data::CURSOST::CLAVE, row.value(0));
        table.setDocumentValue(row, data::CURSOST::NIVEL, level);
        table.setDocumentValue(row, data::CURSOST::CURSO, row.value(4));
        table.post();
    }
    table.close();
    std::unordered_map<std::string, CourseTexts> firstByKey;
    auto courses = openBuiltTable(state, data::WorkTable::Cursost);
    const data::WorkTableReader<data::WorkTable::Cursost> built(*courses);
    for (courses->first(); !courses->eof(); courses->next()) {
        firstByKey.try_emplace(
            built.text(data::CURSOST::CLAVE),
            CourseTexts{built.text(data::CURSOST::NIVEL), built.text(data::CURSOST::CURSO)});
    }
    courses->close();
    return firstByKey;
}

std::string lastCharacter(const std::string& s) { return s.empty() ? "" : s.substr(s.size() - 1); }

}  // namespace

void BuildCourseAndGroupTables(ExportState& state) {
    ShortCodeRegistry usedGroupCodes;
    const auto courses = writeCourses(state);
    TableWriter<data::WorkTable::Grupost> table(state);
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
        table.setDerivedValue(data::GRUPOST::ABREV, code);
        table.setDerivedValue(data::GRUPOST::NIVEL, course.level);
        table.setDerivedValue(data::GRUPOST::CURSO, course.course);
        table.setDerivedValue(data::GRUPOST::GRUPO, letter);
        table.setDocumentValue(row, data::GRUPOST::CLAVE, groupKey);
        table.setDocumentValue(row, data::GRUPOST::CLAVECURSO, courseKey);
        table.setDerivedValue(data::GRUPOST::DESCRIP,
                              course.level + " " + course.course + " " + letter);
        table.post();
    }
    table.close();
}

}  // namespace thq::exporter
