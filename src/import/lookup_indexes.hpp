#pragma once
// The work tables the import resolves lessons against. Each lookup table is indexed once by
// its key fields; where several records share a key the first in record order wins, exactly
// as a scan from the first record would find it. The other fields are read only from the
// record a lesson's lookup finds, and a SOLUC record's fields only when its lesson is
// written: a record the import skips is never read beyond what decides that it is skipped.
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/dbf_table.hpp"
#include "data/work_table_reader.hpp"

namespace thq::importer {

// The open work tables, read through their field constants.
struct ImportTables {
    data::WorkTableReader<data::WorkTable::Soluc> soluc;
    data::WorkTableReader<data::WorkTable::Grupost> grupost;
    data::WorkTableReader<data::WorkTable::Proft> proft;
    data::WorkTableReader<data::WorkTable::Aulat> aulat;
    data::WorkTableReader<data::WorkTable::Asignomt> asignomt;
    data::WorkTableReader<data::WorkTable::Asignomt2> asignomt2;
    data::WorkTableReader<data::WorkTable::Diashorast> diashorast;
    data::WorkTableReader<data::WorkTable::Asigt> asigt;
};

// Record numbers (physical, from 0) added in increasing order, kept as runs of consecutive
// numbers: a teacher's lessons usually stand together in SOLUC, so that the list takes
// memory by the run rather than by the lesson. Iterates the numbers in order.
class RecordRuns {
    struct Run {
        std::uint32_t first = 0;
        std::uint32_t count = 0;
    };

public:
    class Iterator {
    public:
        Iterator(const Run* run, std::uint32_t offset) : run_(run), offset_(offset) {}
        std::size_t operator*() const { return std::size_t{run_->first} + offset_; }
        Iterator& operator++() {
            if (++offset_ == run_->count) {
                ++run_;
                offset_ = 0;
            }
            return *this;
        }
        bool operator==(const Iterator&) const = default;

    private:
        const Run* run_;
        std::uint32_t offset_;
    };

    // `record` is greater than every number added before (a table has fewer than 2^32
    // records).
    void add(std::size_t record) {
        const auto number = static_cast<std::uint32_t>(record);
        if (!runs_.empty() && runs_.back().first + runs_.back().count == number) {
            ++runs_.back().count;
        } else {
            runs_.push_back({number, 1});
        }
    }
    Iterator begin() const { return {runs_.data(), 0}; }
    Iterator end() const { return {runs_.data() + runs_.size(), 0}; }

private:
    std::vector<Run> runs_;
};

// Record numbers (physical, from 0) by lookup key.
using RecordIndex = std::unordered_map<std::string, std::size_t>;

struct LookupIndexes {
    // SOLUC record numbers by PROF, each teacher's in record order.
    std::unordered_map<std::string, RecordRuns> lessonsByTeacher;
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
