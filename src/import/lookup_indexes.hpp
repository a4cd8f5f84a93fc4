#pragma once
// The work tables the import resolves lessons against, each read once into an index by its
// lookup key. Where several records share a key the first in record order wins, exactly as
// a scan from the first record would find it.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/dbf_table.hpp"

namespace thq::importer {

// One record of the timetable solution, with the fields the import reads.
struct Lesson {
    std::size_t recordNumber = 0;  // physical record number in SOLUC, from 0
    std::int32_t day = 0;          // DIA as an integer
    std::string dayText;           // DIA as text
    std::int32_t hour = 0;         // HORA as an integer
    std::string subject;           // ASIG
    std::string group;             // CODGRUPO
    std::string activity;          // TAREA
    std::string room;              // AULA
};

struct GroupKeys {
    std::string groupKey;   // CLAVE
    std::string courseKey;  // CLAVECURSO
};

struct SubjectByCourse {
    std::string mark;       // ALECTIVA
    std::string subjectId;  // MATERIA
};

struct SlotKeys {
    std::string weekday;   // DIA
    std::string slotCode;  // CODDIHO
};

struct LookupIndexes {
    // SOLUC grouped by PROF: each teacher's physical record numbers, in record order. Only
    // the numbers are kept, so that a solution of millions of lessons takes little memory;
    // readLesson() reads a lesson when its turn comes.
    std::unordered_map<std::string, std::vector<std::uint32_t>> lessonsByTeacher;
    // ASIGT: pairKey(CASIG, CGRUP) -> CLAVE.
    std::unordered_map<std::string, std::string> subjectKeyByAssignment;
    // ASIGNOMT: COD -> CODTAREA.
    std::unordered_map<std::string, std::string> taskIdByCode;
    // GRUPOST: ABREV -> keys.
    std::unordered_map<std::string, GroupKeys> groupByCode;
    // ASIGNOMT2: pairKey(COD, CLAVECURSO) -> mark and identifier.
    std::unordered_map<std::string, SubjectByCourse> subjectByCodeAndCourse;
    // DIASHORAST: DIHO -> weekday and slot code.
    std::unordered_map<std::string, SlotKeys> slotByKey;
    // AULAT: ABREV -> DEPCENTRO.
    std::unordered_map<std::string, std::string> roomIdByCode;
};

// Joins two lookup texts into one unambiguous key (the first text's length leads).
std::string pairKey(const std::string& first, const std::string& second);

struct ImportTables {
    data::DbfTable& soluc;
    data::DbfTable& grupost;
    data::DbfTable& proft;
    data::DbfTable& aulat;
    data::DbfTable& asignomt;
    data::DbfTable& asignomt2;
    data::DbfTable& diashorast;
    data::DbfTable& asigt;
};

LookupIndexes buildLookupIndexes(const ImportTables& tables);

// The lesson of SOLUC's current record.
Lesson readLesson(const data::DbfTable& soluc);

}  // namespace thq::importer
