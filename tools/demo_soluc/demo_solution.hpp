#pragma once
// A demo timetable solution: what the timetable program would leave in SOLUC.DBF.
#include <cstddef>
#include <filesystem>

namespace thq::demo {

struct DemoSolution {
    std::size_t lessons = 0;      // records with a day and an hour
    std::size_t unscheduled = 0;  // records with day 0
    std::size_t teachers = 0;
};

// Reads ASIGT, PROFT, AULAT and DIASHORAST from the work folder and writes SOLUC.DBF:
// every assignment's hours placed on free weekday slots of one teacher and one room, a few
// lessons left without a day, and the header's production-index flag set as the timetable
// program sets it. Deterministic: the same tables give the same file (but for its date).
DemoSolution writeDemoSolution(const std::filesystem::path& workFolder);

}  // namespace thq::demo
