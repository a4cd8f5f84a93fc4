// ASIGT: one record for every pair of a subject row and a group of that subject's course,
// with the hours, the SESIONES text and the task the assignment belongs to.
//
// GRUPOST and ASIGNOMT, as the earlier steps of the run wrote them, are read once into
// indexes that keep first-match order, so the step costs one pass over the subject rows.
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "data/text.hpp"
#include "export/export_state.hpp"

namespace thq::exporter {
namespace {

struct Group {
    std::string code;
    std::string level;
    std::string course;
    std::string letter;
};

// Groups by their course key, each list in GRUPOST record order.
std::unordered_map<std::string, std::vector<Group>> groupsByCourse(const ExportState& state) {
    auto table = openBuiltTable(state, data::WorkTable::Grupost);
    const data::WorkTableReader<data::WorkTable::Grupost> built(*table);
    std::unordered_map<std::string, std::vector<Group>> groups;
    for (table->first(); !table->eof(); table->next()) {
        groups[built.text(data::GRUPOST::CLAVECURSO)].push_back(
            Group{built.text(data::GRUPOST::ABREV), built.text(data::GRUPOST::NIVEL),
                  built.text(data::GRUPOST::CURSO), built.text(data::GRUPOST::GRUPO)});
    }
    table->close();
    return groups;
}

constexpr std::array<std::string_view, 3> kTaskCodes = {"156", "281", "286"};

// The COD of the first ASIGNOMT record whose CODTAREA is each task code.
std::unordered_map<std::string, std::string> taskShortCodes(const ExportState& state) {
    auto table = openBuiltTable(state, data::WorkTable::Asignomt);
    const data::WorkTableReader<data::WorkTable::Asignomt> built(*table);
    std::unordered_map<std::string, std::string> codes;
    for (table->first(); !table->eof(); table->next()) {
        const std::string taskId = built.text(data::ASIGNOMT::CODTAREA);
        for (auto wanted : kTaskCodes) {
            if (taskId == wanted) codes.try_emplace(taskId, built.text(data::ASIGNOMT::COD));
        }
    }
    table->close();
    return codes;
}

// Guard duties and library duties are tasks of their own; every other subject is teaching.
std::string_view taskCodeFor(const std::string& subjectName) {
    const std::string upper = text::upperAscii(subjectName);
    std::string_view code = "156";
    if (upper.find("GUARD") != std::string::npos) code = "281";
    if (upper.find("BIBLIO") != std::string::npos) code = "286";
    return code;
}

// Whole hours from minutes: at least 1, and 1 when no minutes are given. Nothing when the
// minutes are not a whole number (while checking; a normal run stops there).
std::optional<double> hoursFromMinutes(const ExportState& state, const SectionRow& row,
                                       const std::string& minutes) {
    double hours = 0;
    if (!minutes.empty()) {
        const std::string written = row.written(4);
        const auto m = state.toInt32(row, "valor 4 (minutos)", written, minutes, written);
        if (!m) return std::nullopt;
        hours = text::ceiling(*m / 60.0);
    }
    return hours < 1 ? 1 : hours;
}

// One "1" per lesson up to 13; beyond, the count above 13 followed by thirteen "1".
std::string sessionsText(double hours) {
    const auto lessons = static_cast<long long>(text::ceiling(hours));
    if (lessons <= 13) return std::string(static_cast<std::size_t>(lessons), '1');
    return std::to_string(lessons - 13) + std::string(13, '1');
}

// The records the step will write, at most: the table is refused before it is written when
// they would not fit in a dBase file.
std::uint64_t assignmentsAtMost(const std::vector<SectionRow>& rows,
                                const std::unordered_map<std::string, std::vector<Group>>& groups) {
    std::uint64_t records = 0;
    for (const auto& row : rows) {
        if (!row.hasEnoughValues()) continue;
        const auto courseGroups = groups.find(row.value(3));
        if (courseGroups != groups.end()) records += courseGroups->second.size();
    }
    return records;
}

}  // namespace

void BuildAssignmentTable(ExportState& state) {
    TableWriter<data::WorkTable::Asigt> table(state);
    const auto groups = groupsByCourse(state);
    const auto taskCodes = taskShortCodes(state);
    const auto rows = state.rows(Section::Materias);
    table.expectRecords(assignmentsAtMost(rows, groups));
    for (const auto& row : rows) {
        if (!state.usable(row)) continue;
        const std::string key = row.value(0);
        const std::string subjectName = row.value(1);
        const std::string subjectCode = row.value(2);
        const std::string courseKey = row.value(3);
        const std::string minutes = row.value(4);
        const auto courseGroups = groups.find(courseKey);
        if (courseGroups == groups.end()) {
            state.warn(row, "el curso " + text::quoted(text::cp1252ToUtf8(courseKey)) +
                                " no tiene grupos: la materia no se asigna a ninguno");
            continue;
        }
        const auto task = taskCodes.find(std::string(taskCodeFor(subjectName)));
        for (const auto& group : courseGroups->second) {
            const auto hours = hoursFromMinutes(state, row, minutes);
            if (!hours) break;
            table.append();
            table.setDerivedValue(data::ASIGT::CASIG, subjectCode);
            table.setDerivedValue(data::ASIGT::CGRUP, group.code);
            table.setDerivedValue(data::ASIGT::NIVEL, group.level);
            table.setDerivedValue(data::ASIGT::CURSO, group.course);
            table.setDerivedValue(data::ASIGT::GRUPO, group.letter);
            table.setNumber(data::ASIGT::HORAS, *hours);
            table.setDerivedValue(data::ASIGT::SESIONES,
                                  sessionsText(table.pendingNumber(data::ASIGT::HORAS)));
            table.setDocumentValue(row, data::ASIGT::CLAVE, key);
            table.setDocumentValue(row, data::ASIGT::CLAVECURSO, courseKey);
            if (task != taskCodes.end()) table.setDerivedValue(data::ASIGT::CTAREA, task->second);
            table.post();
        }
    }
    table.close();
}

}  // namespace thq::exporter
