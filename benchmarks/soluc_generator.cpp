#include "soluc_generator.hpp"

#include <string>
#include <vector>

#include "data/dbf_table.hpp"
#include "data/table_layouts.hpp"

namespace thq::bench {
namespace {

using data::DbfTable;
using data::WorkTable;

struct Assignment {
    std::string subject;
    std::string group;
    std::string level;
    std::string course;
    std::string letter;
    std::string task;
};

constexpr int kDays = 5;
constexpr int kHours = 14;
// Every tenth lesson is a task (a guard duty, a meeting...) rather than teaching.
constexpr std::size_t kTaskEvery = 10;

std::vector<std::string> column(const std::filesystem::path& folder, WorkTable which,
                                const char* field) {
    DbfTable table(data::tableFile(folder, which));
    table.open(data::OpenMode::Shared);
    std::vector<std::string> values;
    values.reserve(table.recordCount());
    for (table.first(); !table.eof(); table.next()) values.push_back(table.text(field));
    table.close();
    return values;
}

std::vector<Assignment> readAssignments(const std::filesystem::path& folder) {
    DbfTable table(data::tableFile(folder, WorkTable::Asigt));
    table.open(data::OpenMode::Shared);
    std::vector<Assignment> assignments;
    assignments.reserve(table.recordCount());
    for (table.first(); !table.eof(); table.next()) {
        assignments.push_back({table.text("CASIG"), table.text("CGRUP"), table.text("NIVEL"),
                               table.text("CURSO"), table.text("GRUPO"), table.text("CTAREA")});
    }
    table.close();
    return assignments;
}

std::vector<std::string> readTaskCodes(const std::filesystem::path& folder) {
    DbfTable table(data::tableFile(folder, WorkTable::Asignomt));
    table.open(data::OpenMode::Shared);
    std::vector<std::string> codes;
    for (table.first(); !table.eof(); table.next()) {
        if (table.text("ESTAREA") == "T") codes.push_back(table.text("COD"));
    }
    table.close();
    return codes;
}

}  // namespace

SolutionSummary writeBenchmarkSolution(const std::filesystem::path& workFolder,
                                       std::size_t lessonsPerTeacher) {
    const auto teachers = column(workFolder, WorkTable::Proft, "ABREV");
    const auto rooms = column(workFolder, WorkTable::Aulat, "ABREV");
    const auto assignments = readAssignments(workFolder);
    const auto tasks = readTaskCodes(workFolder);

    SolutionSummary summary;
    summary.teachers = teachers.size();
    summary.assignments = assignments.size();

    DbfTable soluc(data::tableFile(workFolder, WorkTable::Soluc));
    soluc.defineFields(data::layoutOf(WorkTable::Soluc).fields);
    soluc.create();
    soluc.open(data::OpenMode::Shared);
    std::size_t next = 0;  // assignments are handed out in turn
    for (std::size_t t = 0; t < teachers.size(); ++t) {
        for (std::size_t l = 0; l < lessonsPerTeacher; ++l) {
            const bool unscheduled = l + 1 == lessonsPerTeacher;
            const int day = unscheduled ? 0 : static_cast<int>(l % kDays) + 1;
            const int hour = static_cast<int>((l / kDays + t) % kHours) + 1;
            soluc.append();
            soluc.setText("PROF", teachers[t]);
            if (!rooms.empty()) soluc.setText("AULA", rooms[(t * 7 + l) % rooms.size()]);
            if (l % kTaskEvery == kTaskEvery - 1 && !tasks.empty()) {
                const std::string& task = tasks[(t + l) % tasks.size()];
                soluc.setText("ASIG", task);
                soluc.setText("TAREA", task);
            } else if (!assignments.empty()) {
                const Assignment& a = assignments[next++ % assignments.size()];
                soluc.setText("ASIG", a.subject);
                soluc.setText("CODGRUPO", a.group);
                soluc.setText("NIVEL", a.level);
                soluc.setText("CURSO", a.course);
                soluc.setText("GRUPO", a.letter);
                soluc.setText("TAREA", a.task);
            }
            soluc.setNumber("DIA", day);
            soluc.setNumber("HORA", hour);
            soluc.setNumber("SESIONES", 1);
            soluc.post();
            ++summary.lessons;
            if (unscheduled) ++summary.unscheduled;
        }
    }
    soluc.close();
    return summary;
}

}  // namespace thq::bench
