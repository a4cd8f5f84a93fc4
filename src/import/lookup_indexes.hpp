#pragma once
// The work tables the import resolves lessons against. Each lookup table is indexed once by
// its key fields; where several records share a key the first in record order wins, exactly
// as a scan from the first record would find it. The other fields are read only from the
// record a lesson's lookup finds, and a SOLUC record's fields only when its lesson is
// written: a record the import skips is never read beyond what decides that it is skipped.
#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/dbf_table.hpp"

namespace thq::importer {

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

// Record numbers (physical, from 0) by lookup key.
using RecordIndex = std::unordered_map<std::string, std::size_t>;

struct LookupIndexes {
    // SOLUC record numbers by PROF, each teacher's in record order.
    std::unordered_map<std::string, std::vector<std::size_t>> lessonsByTeacher;
    RecordIndex assignmentByKey;         // ASIGT: pairKey(CASIG, CGRUP)
    RecordIndex taskByCode;              // ASIGNOMT: COD
    RecordIndex groupByCode;             // GRUPOST: ABREV
    RecordIndex subjectByCodeAndCourse;  // ASIGNOMT2: pairKey(COD, CLAVECURSO)
    RecordIndex slotByKey;               // DIASHORAST: DIHO
    RecordIndex roomByCode;              // AULAT: ABREV
};

// Joins two lookup texts into one unambiguous key (the first text's length leads).
std::string pairKey(const std::string& first, const std::string& second);

// Checks that every table has the fields the import reads, in types it can read.
void requireImportFields(const ImportTables& tables);

LookupIndexes buildLookupIndexes(const ImportTables& tables);

}  // namespace thq::importer
