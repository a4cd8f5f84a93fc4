#pragma once
// The state an export run passes from step to step.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/dbf_table.hpp"
#include "data/dbf_writer.hpp"
#include "data/findings.hpp"
#include "data/table_layouts.hpp"
#include "data/xml_document.hpp"
#include "export/document_reader.hpp"
#include "export/short_codes.hpp"

namespace thq::exporter {

class ExportState {
public:
    // With `findings` the run is a check: every problem is recorded instead of the first one
    // ending the run, and warnings are gathered where data would change without a word.
    ExportState(const data::XmlDocument& doc, std::filesystem::path folder,
                Findings* findings = nullptr)
        : document(doc), tablesFolder(std::move(folder)), findings_(findings) {}

    const data::XmlDocument& document;
    // Where the steps build their tables: a staging folder, put in the place of the work
    // tables only once every step has succeeded.
    std::filesystem::path tablesFolder;
    // Shared by the subject and the task step; new and empty for every run.
    ShortCodeRegistry usedShortCodes;
    LongCodeRegistry seenLongCodes;

    bool checking() const { return findings_ != nullptr; }
    std::vector<SectionRow> rows(Section section) const;
    // A row a position-reading step can use; one with fewer than two values is reported.
    bool usable(const SectionRow& row) const;
    void warn(const SectionRow& row, const std::string& text) const;

    // Converts a text with the text-to-integer conversion: `part` (Windows-1252), a part of
    // the value the document wrote as `written`; `writtenPart` is that part as written. When
    // it is refused, a normal run throws the conversion error with the value's place as its
    // detail; a check records it and returns nothing, and the step goes on with its next
    // record. Messages show the texts as written: characters Windows-1252 lacks (Arabic-Indic
    // digits, say) are not '?' there.
    std::optional<std::int32_t> toInt32(const SectionRow& row, const std::string& place,
                                        const std::string& written, const std::string& part,
                                        const std::string& writtenPart) const;

    // AllocateShortCode, with a warning naming the row that holds the code when it falls back;
    // `written` is the document's text the base comes from.
    std::string allocateCode(ShortCodeRegistry& registry, std::string_view base,
                             std::size_t prefixLength, const SectionRow& row,
                             std::string_view written) const;
    // The long-code gate: true when the row's long code enters the catalogue.
    bool admitLongCode(const std::string& longCode, const SectionRow& row);

private:
    Findings* findings_;
};

// A work table being filled by a step. Texts from the document that do not fit their field
// are reported while checking; texts the export derives (codes) are cut silently. Records go
// to the file as they are posted, so a table of any size takes little memory.
class TableWriter {
public:
    enum class Start {
        Create,  // a new empty table in the run's tables folder
        Append,  // the table an earlier step of the run created
    };
    TableWriter(const ExportState& state, data::WorkTable table, Start start = Start::Create);
    void append() { table_.append(); }
    void post() { table_.post(); }
    void close() { table_.close(); }
    // A value of `row`.
    void put(const SectionRow& row, std::string_view field, const std::string& value);
    void set(std::string_view field, std::string_view value) { table_.setText(field, value); }
    data::DbfWriter& table() { return table_; }

private:
    static data::DbfWriter start(const ExportState& state, data::WorkTable table, Start start);
    const ExportState& state_;
    data::WorkTable which_;
    data::DbfWriter table_;
};

// Opens a table that an earlier step of the run built, for exclusive reading.
std::unique_ptr<data::DbfTable> openBuiltTable(const ExportState& state, data::WorkTable table);

// Appends the subject (MATERIAS) or task (TAREAS) records of the catalogue ASIGNOMT: one per
// long code not seen before, under a short code from the run's shared registry.
void appendCatalogueRecords(ExportState& state, TableWriter& table, Section section);

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
