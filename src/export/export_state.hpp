#pragma once
// The state an export run passes from step to step.
#include <filesystem>
#include <memory>

#include "data/dbf_table.hpp"
#include "data/table_layouts.hpp"
#include "data/xml_document.hpp"
#include "export/short_codes.hpp"

namespace thq::exporter {

struct ExportState {
    ExportState(const data::XmlDocument& doc, std::filesystem::path folder)
        : document(doc), tablesFolder(std::move(folder)) {}

    const data::XmlDocument& document;
    // Where the steps build their tables: a staging folder beside the work tables, put in
    // their place only once every step has succeeded.
    std::filesystem::path tablesFolder;
    // Shared by the subject and the task step; new and empty for every run.
    ShortCodeRegistry usedShortCodes;
    LongCodeRegistry seenLongCodes;
};

// Creates a work table with its layout in the run's tables folder and opens it for filling.
std::unique_ptr<data::DbfTable> createWorkTable(const ExportState& state, data::WorkTable table);
// Opens a table that an earlier step of the run built, for exclusive reading.
std::unique_ptr<data::DbfTable> openBuiltTable(const ExportState& state, data::WorkTable table);

// The eight steps, in the order the run calls them.
void BuildSubjectCatalogue(ExportState& state);
void AppendTaskCatalogue(ExportState& state);
void BuildSubjectCourseTable(ExportState& state);
void BuildTeacherTable(ExportState& state);
void BuildRoomTable(ExportState& state);
void BuildCourseAndGroupTables(ExportState& state);
void BuildAssignmentTable(ExportState& state);
void BuildSlotTable(ExportState& state);

}  // namespace thq::exporter
