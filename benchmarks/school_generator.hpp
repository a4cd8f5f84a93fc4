#pragma once
// A synthetic but realistic school-management document at a chosen scale, for the scaling
// benchmarks.
//
// Scale 1 is a large secondary school: 60 courses of 4 groups, 15 subject rows per course
// drawn from 120 distinct subjects whose long codes share their first four letters (MATE1 to
// MATE5, LENG1...), 40 tasks (among them 156, 281 and 286), 250 teachers whose surnames
// often collide on their first four letters, 120 rooms mostly named "AULA n" and 14
// intervals. Scale k repeats every section but the intervals k times as blocks of the same
// shape: keys stay unique, and the code bases of later blocks carry a two-letter tag so that
// the four-character short codes do not run out even at scale 100.
#include <cstddef>
#include <string>

namespace thq::bench {

struct SchoolCounts {
    std::size_t courses = 0;
    std::size_t groups = 0;
    std::size_t subjectRows = 0;
    std::size_t distinctSubjects = 0;
    std::size_t tasks = 0;
    std::size_t teachers = 0;
    std::size_t rooms = 0;
    std::size_t intervals = 0;
};

// The number of rows of each section at scale k (k >= 1).
SchoolCounts schoolCountsAt(std::size_t scale);

// The document at scale k (k >= 1), as UTF-8 XML text with its declaration.
std::string generateSchoolDocument(std::size_t scale);

}  // namespace thq::bench
