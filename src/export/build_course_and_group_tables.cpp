// CURSOST and GRUPOST. Each group carries the level and course text of its course, as the
// course table stored them, and a short code unique among the groups of the run.
#include <unordered_map>

#include "data/text.hpp"
#include "export/document_reader.hpp"
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
    auto table = createWorkTable(state, data::WorkTable::Cursost);
    for (const auto& row : readSection(state.document, Section::Cursos)) {
        if (!row.hasEnoughValues()) continue;
        std::string level = row.value(3);
        if (level.empty()) level = "NIV";
        table->append();
        table->setText("CLAVE", row.value(0));
        table->setText("NIVEL", level);
        table->setText("CURSO", row.value(4));
        table->post();
    }
    std::unordered_map<std::string, CourseTexts> firstByKey;
    for (table->first(); !table->eof(); table->next()) {
        firstByKey.try_emplace(table->text("CLAVE"),
                               CourseTexts{table->text("NIVEL"), table->text("CURSO")});
    }
    table->close();
    return firstByKey;
}

std::string lastCharacter(const std::string& s) { return s.empty() ? "" : s.substr(s.size() - 1); }

}  // namespace

void BuildCourseAndGroupTables(ExportState& state) {
    ShortCodeRegistry usedGroupCodes;
    const auto courses = writeCourses(state);
    auto table = createWorkTable(state, data::WorkTable::Grupost);
    for (const auto& row : readSection(state.document, Section::Grupos)) {
        if (!row.hasEnoughValues()) continue;
        const std::string groupKey = row.value(0);
        const std::string groupName = row.value(1);
        const std::string courseKey = row.value(2);
        CourseTexts course;
        if (auto found = courses.find(courseKey); found != courses.end()) course = found->second;
        const std::string letter = lastCharacter(groupName);
        const std::string base(text::trim(text::firstChars(groupName, kShortCodeWidth)));
        const std::string code = AllocateShortCode(base, usedGroupCodes, 3);
        table->append();
        table->setText("ABREV", code);
        table->setText("NIVEL", course.level);
        table->setText("CURSO", course.course);
        table->setText("GRUPO", letter);
        table->setText("CLAVE", groupKey);
        table->setText("CLAVECURSO", courseKey);
        table->setText("DESCRIP", course.level + " " + course.course + " " + letter);
        table->post();
    }
    table->close();
}

}  // namespace thq::exporter
