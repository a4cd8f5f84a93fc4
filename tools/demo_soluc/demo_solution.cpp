#include "demo_soluc/demo_solution.hpp"

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "data/dbf_table.hpp"
#include "data/error.hpp"
#include "data/platform_file.hpp"
#include "data/table_layouts.hpp"
#include "data/work_table_reader.hpp"

namespace thq::demo {
namespace {

using data::DbfTable;
using data::WorkTable;

struct Assignment {
    std::string subject, group, level, course, letter, task;
    int hours = 1;
};

struct Slot {
    int day = 0;
    int hour = 0;
};

template <WorkTable Which>
std::vector<std::string> column(const std::filesystem::path& folder,
                                data::TableField<Which> field) {
    DbfTable table(data::tableFile(folder, Which));
    table.open(data::OpenMode::Shared);
    const data::WorkTableReader<Which> read(table);
    std::vector<std::string> values;
    for (table.first(); !table.eof(); table.next()) values.push_back(read.text(field));
    return values;
}

std::vector<Assignment> readAssignments(const std::filesystem::path& folder) {
    using namespace data::ASIGT;
    DbfTable table(data::tableFile(folder, WorkTable::Asigt));
    table.open(data::OpenMode::Shared);
    const data::WorkTableReader<WorkTable::Asigt> read(table);
    std::vector<Assignment> assignments;
    for (table.first(); !table.eof(); table.next()) {
        assignments.push_back({read.text(CASIG), read.text(CGRUP), read.text(NIVEL),
                               read.text(CURSO), read.text(GRUPO), read.text(CTAREA),
                               std::max(1, read.integer(HORAS))});
    }
    return assignments;
}

int numberOr0(const std::string& text) {
    try {
        return std::stoi(text);
    } catch (const std::exception&) {
        return 0;
    }
}

// Teaching slots: Monday to Friday, every slot of the day that lasts at least 45 minutes.
std::vector<Slot> readTeachingSlots(const std::filesystem::path& folder) {
    using namespace data::DIASHORAST;
    DbfTable table(data::tableFile(folder, WorkTable::Diashorast));
    table.open(data::OpenMode::Shared);
    const data::WorkTableReader<WorkTable::Diashorast> read(table);
    std::vector<Slot> slots;
    for (table.first(); !table.eof(); table.next()) {
        const int day = numberOr0(read.text(DIA));
        if (day < 1 || day > 5 || numberOr0(read.text(MINUTOS)) < 45) continue;
        slots.push_back({day, numberOr0(read.text(HORA))});
    }
    return slots;
}

}  // namespace

DemoSolution writeDemoSolution(const std::filesystem::path& folder) {
    const auto teachers = column(folder, data::PROFT::ABREV);
    const auto rooms = column(folder, data::AULAT::ABREV);
    const auto assignments = readAssignments(folder);
    const auto slots = readTeachingSlots(folder);
    if (teachers.empty() || rooms.empty() || slots.empty()) {
        throw Error(ErrorKind::InputOutput,
                    fileMessage(platform::displayPath(folder),
                                "las tablas de trabajo no tienen profesores, aulas o tramos"));
    }

    const auto solucPath = data::tableFile(folder, WorkTable::Soluc);
    namespace SOLUC = data::SOLUC;
    DbfTable soluc(solucPath);
    soluc.defineFields(data::layoutOf(WorkTable::Soluc).fields);
    soluc.create();
    soluc.open(data::OpenMode::Exclusive);

    std::set<std::tuple<std::string, int, int>> busy;  // (teacher|group|room, day, hour)
    DemoSolution result;
    std::size_t rotation = 0;
    std::vector<int> load(teachers.size(), 0);
    for (std::size_t i = 0; i < assignments.size(); ++i) {
        const auto& a = assignments[i];
        // Each assignment goes to the teacher with the fewest lessons so far.
        const std::size_t t =
            static_cast<std::size_t>(std::min_element(load.begin(), load.end()) - load.begin());
        load[t] += a.hours;
        const std::string& teacher = teachers[t];
        const std::string& room = rooms[i % rooms.size()];
        // The first assignment gets one lesson more than the week holds for it, as the timetable
        // program leaves a lesson it could not place: without a day.
        const int lessons = a.hours + (i == 0 ? 1 : 0);
        for (int lesson = 0; lesson < lessons; ++lesson) {
            Slot chosen;
            const bool place = !(i == 0 && lesson == lessons - 1);
            for (std::size_t k = 0; place && k < slots.size() && chosen.day == 0; ++k) {
                const Slot& s = slots[(rotation + k) % slots.size()];
                if (busy.count({"P" + teacher, s.day, s.hour}) ||
                    busy.count({"G" + a.group, s.day, s.hour}) ||
                    busy.count({"A" + room, s.day, s.hour})) {
                    continue;
                }
                chosen = s;
            }
            rotation += 7;
            if (chosen.day != 0) {
                busy.insert({"P" + teacher, chosen.day, chosen.hour});
                busy.insert({"G" + a.group, chosen.day, chosen.hour});
                busy.insert({"A" + room, chosen.day, chosen.hour});
                ++result.lessons;
            } else {
                ++result.unscheduled;  // no room left in the week: left without a day
            }
            soluc.append();
            soluc.setText(SOLUC::ASIG.name, a.subject);
            soluc.setText(SOLUC::PROF.name, teacher);
            soluc.setText(SOLUC::CODGRUPO.name, a.group);
            soluc.setText(SOLUC::NIVEL.name, a.level);
            soluc.setText(SOLUC::CURSO.name, a.course);
            soluc.setText(SOLUC::GRUPO.name, a.letter);
            soluc.setText(SOLUC::AULA.name, room);
            soluc.setText(SOLUC::TAREA.name, a.task);
            soluc.setNumber(SOLUC::DIA.name, chosen.day);
            soluc.setNumber(SOLUC::HORA.name, chosen.hour);
            soluc.setNumber(SOLUC::SESIONES.name, 1);
            soluc.post();
        }
    }
    soluc.close();

    // The timetable program keeps a production index (SOLUC.MDX) and flags it in the header.
    auto file = platform::File::open(solucPath, platform::OpenIntent::ReadWrite,
                                     platform::ShareMode::Exclusive);
    const unsigned char flag = 0x01;
    file.writeAt(28, &flag, 1);
    file.flushToDisk();
    file.close();

    std::set<std::string> teaching;
    for (const auto& t : teachers) teaching.insert(t);
    result.teachers = teaching.size();
    return result;
}

}  // namespace thq::demo
