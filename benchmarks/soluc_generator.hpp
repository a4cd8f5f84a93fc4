#pragma once
// A stand-in timetable solution for the import benchmark: SOLUC.DBF written straight from
// the work tables an export left in a folder, about the same number of lessons per teacher
// at every scale.
#include <cstddef>
#include <filesystem>

namespace thq::bench {

struct SolutionSummary {
    std::size_t teachers = 0;
    std::size_t assignments = 0;  // ASIGT records
    std::size_t lessons = 0;      // SOLUC records written
    std::size_t unscheduled = 0;  // of which DIA 0
};

// Writes SOLUC.DBF in the work folder (replacing any): `lessonsPerTeacher` lessons for every
// PROFT teacher, each naming an ASIGT assignment (subject, group, level, course, letter, task)
// or now and then a task of ASIGNOMT, an AULAT room, a day 1-5 and an hour 1-14; the last
// lesson of each teacher has day 0.
SolutionSummary writeBenchmarkSolution(const std::filesystem::path& workFolder,
                                       std::size_t lessonsPerTeacher = 25);

}  // namespace thq::bench
