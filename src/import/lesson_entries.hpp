#pragma once
// One teacher's lessons of the timetable solution as lesson entries of the result document.
#include <string>

#include "data/findings.hpp"
#include "data/xml_document.hpp"
#include "import/lookup_indexes.hpp"

namespace thq::importer {

// Appends a data item: a `salida` element whose `dato` names the item and whose text is
// the value (a Windows-1252 table text).
void appendDataItem(data::XmlDocument& document, data::XmlNode parent, const std::string& name,
                    const std::string& valueCp1252);

// Appends to the teacher block one lesson entry TRAMO_1, TRAMO_2... per lesson of the
// teacher whose day is not 0, with the six data items translated back from the short codes.
// Of a SOLUC record whose day is 0 nothing but the day is read. Returns the number of
// entries appended. With `report`, every lookup that found no record is noted as a warning
// naming the lesson's SOLUC record and the code looked up.
std::size_t AppendLessonEntries(data::XmlDocument& document, const ImportTables& tables,
                                const LookupIndexes& indexes,
                                const std::string& teacherAbbreviation, data::XmlNode teacherBlock,
                                Findings* report = nullptr);

}  // namespace thq::importer
