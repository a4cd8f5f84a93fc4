#include "import/import_run.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_set>
#include <utility>
#include <vector>

#include "data/dbf_table.hpp"
#include "data/error.hpp"
#include "data/platform_file.hpp"
#include "data/table_layouts.hpp"
#include "data/text.hpp"
#include "data/work_folder.hpp"
#include "data/xml_document.hpp"
#include "data/xml_stream_writer.hpp"
#include "export/work_folder_repair.hpp"
#include "import/lesson_entries.hpp"
#include "import/lookup_indexes.hpp"

namespace thq::importer {
namespace {

using data::WorkTable;

// The table components in the order the run opens (and closes) them.
constexpr std::array<WorkTable, 9> kOpeningOrder = {
    WorkTable::Soluc,     WorkTable::Grupost,    WorkTable::Cursost,
    WorkTable::Proft,     WorkTable::Aulat,      WorkTable::Asignomt,
    WorkTable::Asignomt2, WorkTable::Diashorast, WorkTable::Asigt};

// Holds the nine tables open for reading, with read access only (a read-only SOLUC, share or
// mount will do) and a reader's lock, so no program writes them while the run reads; closes
// them in opening order when done, also when the run fails, so no table stays held against
// the timetable program.
class TableComponents {
public:
    explicit TableComponents(const std::filesystem::path& workFolder) {
        for (std::size_t i = 0; i < kOpeningOrder.size(); ++i) {
            tables_[i] =
                std::make_unique<data::DbfTable>(data::tableFile(workFolder, kOpeningOrder[i]));
        }
    }
    ~TableComponents() { closeAll(); }
    TableComponents(const TableComponents&) = delete;
    TableComponents& operator=(const TableComponents&) = delete;

    void openAll() {
        for (std::size_t i = 0; i < kOpeningOrder.size(); ++i) {
            namingMemoryUse("leer la tabla " + std::string(data::layoutOf(kOpeningOrder[i]).name),
                            [&] { tables_[i]->open(data::OpenMode::ReadOnly); });
        }
    }
    void closeAll() noexcept {
        for (auto& table : tables_) {
            try {
                table->close();
            } catch (...) {
            }
        }
    }
    data::DbfTable& operator[](WorkTable which) {
        for (std::size_t i = 0; i < kOpeningOrder.size(); ++i) {
            if (kOpeningOrder[i] == which) return *tables_[i];
        }
        throw std::logic_error("table not held");
    }

private:
    std::array<std::unique_ptr<data::DbfTable>, 9> tables_;
};

// The result's SALIDAS and its content are in no namespace: under a root in a default
// namespace they would fall into it, and a SALIDAS in a namespace is not the one replaced.
void refuseNamespace(const std::string& name, const std::optional<std::string>& uri, long line,
                     const std::filesystem::path& path) {
    if (uri) {
        throw Error(ErrorKind::Document,
                    fileMessage(platform::displayPath(path),
                                "el elemento <" + name + "> (línea " + std::to_string(line) +
                                    ") está en el espacio de nombres «" + *uri +
                                    "»: el documento que se importa no usa espacios de nombres"));
    }
}

void requireOldOutputs(const data::XmlOutline& outline, const std::filesystem::path& path) {
    if (outline.rootName.empty())
        throw Error(ErrorKind::Document, fileMessage(platform::displayPath(path),
                                                     "el documento no tiene elemento raíz"));
    refuseNamespace(outline.rootName, outline.rootNamespace, outline.rootLine, path);
    if (!outline.hasChild) {
        throw Error(ErrorKind::Document, fileMessage(platform::displayPath(path),
                                                     "el elemento raíz <" + outline.rootName +
                                                         "> no tiene elemento <SALIDAS>"));
    }
    refuseNamespace("SALIDAS", outline.childNamespace, outline.childLine, path);
}

void writeStatusBlock(data::XmlStreamWriter& out, std::size_t teacherCount) {
    out.startElement("ERROR");
    writeDataItem(out, "CN_ERROR", "0");
    writeDataItem(out, "TE_ERROR", "Servicio finalizado Correctamente");
    writeDataItem(out, "REGISTROS RECUPERADOS", std::to_string(teacherCount));
    out.endElement("ERROR");
}

// Lessons whose teacher no PROFT record carries appear in no teacher block at all. Only the
// day of their records is read, to tell lessons from records without a day; a day that does
// not read as a number is noted as such, never an error of the run.
void reportLessonsOfUnknownTeachers(const data::WorkTableReader<WorkTable::Soluc>& soluc,
                                    const LookupIndexes& indexes,
                                    const std::unordered_set<std::string>& teacherCodes,
                                    Diagnostics& report) {
    std::vector<std::pair<std::size_t, std::string>> lost;
    for (const auto& [teacher, records] : indexes.lessonsByTeacher) {
        if (teacherCodes.count(teacher) != 0) continue;
        for (const std::size_t record : records) lost.emplace_back(record, teacher);
    }
    std::sort(lost.begin(), lost.end());
    for (const auto& [record, teacher] : lost) {
        soluc.table().goTo(record);
        std::string day;
        try {
            if (soluc.integer(data::SOLUC::DIA) == 0) continue;
        } catch (const Error& error) {
            day = " (su DIA no es un número: " + std::string(error.what()) + ")";
        }
        report.add(Severity::Warning, "SOLUC", record + 1,
                   "el profesor " + text::quoted(text::cp1252ToUtf8(teacher)) +
                       " no está en PROFT: la lección no aparece en el resultado" + day,
                   "registro");
    }
}

// Notes in the report every text read with characters that Windows-1252 lacks.
void reportLossyTexts(TableComponents& tables, Diagnostics& report) {
    for (const WorkTable which : kOpeningOrder) {
        const std::string name(data::layoutOf(which).name);
        tables[which].setLossyTextListener([&report, name](const data::LossyText& lossy) {
            report.add(Severity::Warning, name, lossy.recordNumber + 1,
                       "el campo " + text::cp1252ToUtf8(lossy.field) + " " +
                           text::quoted(lossy.original) +
                           " tiene caracteres que Windows-1252 no tiene y se lee como " +
                           text::quoted(text::cp1252ToUtf8(lossy.read)),
                       "registro");
        });
    }
}

// What goes to the result file, gathered into pieces of a megabyte: few writes however the
// result is made up, and a small result is written at once.
class ResultOutput {
public:
    explicit ResultOutput(platform::StagedFile& file) : file_(file) {}
    void write(std::string_view bytes) {
        if (buffer_.size() + bytes.size() > kPiece) flush();
        if (bytes.size() >= kPiece) {
            file_.append(bytes);
        } else {
            buffer_.append(bytes);
        }
    }
    void flush() {
        if (!buffer_.empty()) file_.append(buffer_);
        buffer_.clear();
    }

private:
    static constexpr std::size_t kPiece = 1 << 20;
    platform::StagedFile& file_;
    std::string buffer_;
};

// Writes the result document: the document's own bytes with its first SALIDAS left out and a
// new one written before the document element's end tag, holding the status block and one
// block per PROFT teacher with the teacher's lessons. The new elements are written in the
// document's encoding as they are made, teacher by teacher, so that the result never has to
// be held whole.
void writeResult(data::XmlOutline& document, platform::StagedFile& file, const ImportTables& tables,
                 Diagnostics& report, ImportResult& result) {
    ResultOutput output(file);
    const std::string_view bytes = document.bytes;
    output.write(bytes.substr(0, document.childBegin));
    output.write(bytes.substr(document.childEnd, document.rootEnd - document.childEnd));
    // Only the end of the document is still needed.
    const std::string tail(bytes.substr(document.rootEnd));
    document.bytes.clear();
    document.bytes.shrink_to_fit();

    const LookupIndexes indexes = buildLookupIndexes(tables);

    data::XmlStreamWriter out(document.encoding,
                              [&output](std::string_view encoded) { output.write(encoded); });
    const auto& teachers = tables.proft;
    data::DbfTable& teacherTable = teachers.table();
    out.startElement("SALIDAS");
    writeStatusBlock(out, teacherTable.recordCount());
    std::size_t counter = 1;
    std::unordered_set<std::string> teacherCodes;
    for (teacherTable.first(); !teacherTable.eof(); teacherTable.next()) {
        out.startElement("listasal", "seq", "EMP_" + std::to_string(counter++));
        writeDataItem(out, "X_EMPLEADO", teachers.text(data::PROFT::X_EMPLEADO));
        writeDataItem(out, "F_TOMAPOS", teachers.text(data::PROFT::F_TOMAPOS));
        const std::string abbreviation = teachers.text(data::PROFT::ABREV);
        const std::size_t entries = writeLessonEntries(out, tables, indexes, abbreviation, report);
        out.endElement("listasal");
        result.lessons += entries;
        teacherCodes.insert(abbreviation);
        if (entries == 0) {
            report.add(Severity::Warning, "PROFT", teacherTable.currentRecordNumber() + 1,
                       "el profesor " + text::quoted(text::cp1252ToUtf8(abbreviation)) +
                           " no tiene lecciones",
                       "registro");
        }
    }
    out.endElement("SALIDAS");
    out.flush();
    output.write(tail);
    output.flush();
    result.teachers = counter - 1;
    if (report.recording())
        reportLessonsOfUnknownTeachers(tables.soluc, indexes, teacherCodes, report);
}

}  // namespace

std::filesystem::path resultPathFor(const std::filesystem::path& document) {
    // Joined as native paths: the file name never passes through a narrow code page, which
    // on Windows would fail or mangle names outside it.
    std::filesystem::path name("ResultadoHoralis");
    name += document.filename();
    return document.parent_path() / name;
}

namespace {

// True when both paths lead to one file, or would once it is made: the same file reached
// through links, hard links or a relative path, or the same name once resolved.
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error)) return true;
    const auto resolvedA = std::filesystem::weakly_canonical(a, error);
    if (error) return false;
    const auto resolvedB = std::filesystem::weakly_canonical(b, error);
    return !error && resolvedA == resolvedB;
}

// A save that a killed run left half done beside the result: our temporary files, and those
// of earlier versions of this program, which were named after the result.
bool isAbandonedSaveName(const std::string& name, const std::string& resultName) {
    if (platform::isTemporaryFileName(name)) return true;
    const std::string earlier = "." + resultName + ".tmp-";
    if (!name.starts_with(earlier) || name.size() != earlier.size() + 10) return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(earlier.size()), name.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); });
}

// Removes what killed saves left in `folder`, leaving alone the files that are being written
// right now. Housekeeping: a folder that cannot be read is left as it is.
void removeAbandonedSaves(const std::filesystem::path& folder, const std::string& resultName) {
    try {
        const auto where = folder.empty() ? std::filesystem::path(".") : folder;
        for (const auto& entry : platform::listFolder(where)) {
            if (!entry.isFolder && isAbandonedSaveName(entry.name.string(), resultName)) {
                platform::removeAbandonedFile(where / entry.name);
            }
        }
    } catch (const Error&) {
    }
}

std::string reportText(const Findings& findings) {
    std::string text;
    for (const auto& finding : findings.list()) text += formatLine(finding) + '\n';
    return text + summaryLine(findings) + '\n';
}

}  // namespace

std::optional<std::string> reportOverwrites(const std::filesystem::path& report,
                                            const std::filesystem::path& document,
                                            const std::filesystem::path& workFolder) {
    const std::string shown = platform::displayPath(report);
    if (sameFile(report, document)) return shown + " es el documento";
    if (sameFile(report, resultPathFor(document))) return shown + " es el documento de resultado";
    for (const auto table : kOpeningOrder) {
        const std::string name(data::layoutOf(table).name);
        if (sameFile(report, data::tableFile(workFolder, table))) {
            // A message built once, on the way out of the loop.
            // NOLINTNEXTLINE(performance-inefficient-string-concatenation)
            return shown + " es la tabla " + name;
        }
        if (sameFile(report, data::indexFile(workFolder, table))) {
            // NOLINTNEXTLINE(performance-inefficient-string-concatenation)
            return shown + " es el índice de la tabla " + name;
        }
    }
    return std::nullopt;
}

ImportResult runImport(const std::filesystem::path& document,
                       const std::filesystem::path& workFolder, Findings* report,
                       const data::XmlLimits& limits) {
    ImportOptions options;
    options.report = report;
    options.limits = limits;
    return runImport(document, workFolder, options);
}

ImportResult runImport(const std::filesystem::path& document,
                       const std::filesystem::path& workFolder, const ImportOptions& options) {
    ImportResult result;
    if (!platform::fileExists(document)) return result;
    if (options.reportFile) {
        if (auto overwritten = reportOverwrites(*options.reportFile, document, workFolder)) {
            throw Error(ErrorKind::InputOutput,
                        "El informe no puede escribirse en " + *overwritten);
        }
    }
    data::requireWorkFolder(workFolder);
    for (const auto& notice : exporter::repairWorkFolder(workFolder)) {
        if (options.notice) options.notice(notice);
    }
    result.resultPath = resultPathFor(document);
    const std::string resultName = platform::displayPath(result.resultPath.filename());
    removeAbandonedSaves(result.resultPath.parent_path(), resultName);
    if (options.reportFile) removeAbandonedSaves(options.reportFile->parent_path(), resultName);

    // The findings are kept when the caller asks for them or a report file is written.
    Findings ownFindings;
    NoDiagnostics noDiagnostics;
    Findings* findings = options.report;
    if (findings == nullptr && options.reportFile) findings = &ownFindings;
    Diagnostics& report =
        findings != nullptr ? static_cast<Diagnostics&>(*findings) : noDiagnostics;

    TableComponents tables(workFolder);
    tables.openAll();
    if (report.recording()) reportLossyTexts(tables, report);
    const ImportTables components{
        data::WorkTableReader<WorkTable::Soluc>(tables[WorkTable::Soluc]),
        data::WorkTableReader<WorkTable::Grupost>(tables[WorkTable::Grupost]),
        data::WorkTableReader<WorkTable::Proft>(tables[WorkTable::Proft]),
        data::WorkTableReader<WorkTable::Aulat>(tables[WorkTable::Aulat]),
        data::WorkTableReader<WorkTable::Asignomt>(tables[WorkTable::Asignomt]),
        data::WorkTableReader<WorkTable::Asignomt2>(tables[WorkTable::Asignomt2]),
        data::WorkTableReader<WorkTable::Diashorast>(tables[WorkTable::Diashorast]),
        data::WorkTableReader<WorkTable::Asigt>(tables[WorkTable::Asigt])};
    requireImportFields(components);
    auto xml = namingMemoryUse("leer el documento " + platform::displayPath(document), [&] {
        return data::XmlDocument::outline(document, "SALIDAS", options.limits);
    });
    requireOldOutputs(xml, document);
    platform::StagedFile resultFile(result.resultPath);
    namingMemoryUse("componer el documento de resultado",
                    [&] { writeResult(xml, resultFile, components, report, result); });
    tables.closeAll();
    resultFile.finish();

    // Both files ready before either replaces anything; the report first, so that the
    // earlier result stays unless the report is in place.
    std::optional<platform::StagedFile> reportFile;
    if (options.reportFile) reportFile.emplace(*options.reportFile, reportText(*findings));
    if (reportFile) reportFile->commit();
    resultFile.commit();
    result.outcome = ImportOutcome::Completed;
    return result;
}

}  // namespace thq::importer
