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
#include "data/table_fields.hpp"
#include "data/table_layouts.hpp"
#include "data/work_table_reader.hpp"
#include "data/xml_document.hpp"
#include "export/document_reader.hpp"
#include "export/short_codes.hpp"

namespace thq::exporter {

class ExportState {
public:
    // A plain run: the first problem in the data ends it, and nothing is reported.
    ExportState(const data::XmlDocument& doc, std::filesystem::path folder)
        : document(doc), tablesFolder(std::move(folder)), diagnostics_(noDiagnostics_) {}
    // A check: every problem is recorded in `findings` instead of the first one ending the
    // run, and warnings are gathered where data would change without a word.
    ExportState(const data::XmlDocument& doc, std::filesystem::path folder, Findings& findings)
        : document(doc), tablesFolder(std::move(folder)), checking_(true), diagnostics_(findings) {}
    ExportState(const ExportState&) = delete;
    ExportState& operator=(const ExportState&) = delete;

    const data::XmlDocument& document;
    // Where the steps build their tables: a staging folder, put in the place of the work
    // tables only once every step has succeeded.
    std::filesystem::path tablesFolder;
    // Shared by the subject and the task step; new and empty for every run.
    ShortCodeRegistry usedShortCodes;
    LongCodeRegistry seenLongCodes;

    bool checking() const { return checking_; }
    // True when warnings are kept: work done only to describe one can be skipped otherwise.
    bool reporting() const { return diagnostics_.recording(); }
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
    bool checking_ = false;
    NoDiagnostics noDiagnostics_;
    Diagnostics& diagnostics_;
};

enum class TableStart {
    Create,  // a new empty table in the run's tables folder
    Append,  // the table an earlier step of the run created
};

// The table a TableWriter writes: created with the table's layout, or the one an earlier step
// created, whose fields are checked to be the layout's before anything is written by index.
data::DbfWriter startTable(const ExportState& state, data::WorkTable table, TableStart start);

// The warning, when warnings are kept, that a document's value was cut to its field's width.
void reportCutValue(const ExportState& state, const SectionRow& row, data::WorkTable table,
                    std::string_view field, int width, const std::string& value);

// A work table being filled by a step, written through its field constants
// (data/table_fields.hpp). Records go to the file as they are posted, so a table of any size
// takes little memory.
template <data::WorkTable Table>
class TableWriter {
public:
    using Field = data::TableField<Table>;

    explicit TableWriter(const ExportState& state, TableStart start = TableStart::Create)
        : state_(state), table_(startTable(state, Table, start)) {}
    void append() { table_.append(); }
    void post() { table_.post(); }
    void close() { table_.close(); }

    // A value the document gives for `row`: cut to the field's width, and a check says so.
    void setDocumentValue(const SectionRow& row, Field field, const std::string& value) {
        if (field.type == data::FieldType::Text &&
            value.size() > static_cast<std::size_t>(field.width)) {
            reportCutValue(state_, row, Table, field.name, field.width, value);
        }
        table_.setTextAt(field.index, value);
    }
    // A value the export derives (a code, a text it composes): cut without a word.
    void setDerivedValue(Field field, std::string_view value) {
        table_.setTextAt(field.index, value);
    }
    void setLogical(Field field, bool value) { table_.setLogicalAt(field.index, value); }
    void setNumber(Field field, double value) { table_.setNumberAt(field.index, value); }
    // The number set on the record being appended (0 when not set).
    double pendingNumber(Field field) const { return table_.pendingNumberAt(field.index); }
    void expectRecords(std::uint64_t records) const { table_.expectRecords(records); }

private:
    const ExportState& state_;
    data::DbfWriter table_;
};

// Opens a table that an earlier step of the run built, for exclusive reading.
std::unique_ptr<data::DbfTable> openBuiltTable(const ExportState& state, data::WorkTable table);

// Appends the subject (MATERIAS) or task (TAREAS) records of the catalogue ASIGNOMT: one per
// long code not seen before, under a short code from the run's shared registry.
void appendCatalogueRecords(ExportState& state, TableWriter<data::WorkTable::Asignomt>& table,
                            Section section);

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
