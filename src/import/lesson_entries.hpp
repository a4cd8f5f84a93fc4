#pragma once
// One teacher's lessons of the timetable solution as lesson entries of the result document.
#include <cstddef>
#include <string>

#include "data/dbf_table.hpp"
#include "data/findings.hpp"
#include "data/xml_stream_writer.hpp"
#include "import/lookup_indexes.hpp"

namespace thq::importer {

// Writes a data item: a `salida` element whose `dato` names the item and whose text is the
// value (a Windows-1252 table text). A value XML cannot carry throws naming the item.
void writeDataItem(data::XmlStreamWriter& out, const std::string& name,
                   const std::string& valueCp1252);

// Writes one lesson entry TRAMO_1, TRAMO_2... per lesson of the teacher whose day is not 0,
// with the six data items translated back from the short codes. Of a SOLUC record whose day
// is 0 nothing but the day is read. Returns the number of entries written. Every lookup that
// found no record is told to `report` as a warning naming the lesson's SOLUC record and the
// code looked up.
std::size_t writeLessonEntries(data::XmlStreamWriter& out, const ImportTables& tables,
                               const LookupIndexes& indexes, const std::string& teacherAbbreviation,
                               Diagnostics& report);

}  // namespace thq::importer
