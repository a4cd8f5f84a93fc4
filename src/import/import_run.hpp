#pragma once
// The import run: the timetable solution in SOLUC, resolved against the work tables, written
// back into the chosen document as its new SALIDAS.
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "data/findings.hpp"
#include "data/xml_document.hpp"

namespace thq::importer {

enum class ImportOutcome {
    Completed,        // the result document was written
    MissingDocument,  // no file at the document path: nothing was opened or written
};

struct ImportResult {
    ImportOutcome outcome = ImportOutcome::MissingDocument;
    std::filesystem::path resultPath;
    std::size_t teachers = 0;
    std::size_t lessons = 0;
};

// "ResultadoHoralis" before the document's file name, in the document's folder.
std::filesystem::path resultPathFor(const std::filesystem::path& document);

struct ImportOptions {
    // With it, what would otherwise be lost without a word is noted as warnings: lookups that
    // found no record, teachers without lessons, lessons of teachers that PROFT does not carry,
    // table texts that Windows-1252 cannot carry.
    Findings* report = nullptr;
    // Where those warnings are saved as text (one a line, a summary last). The report file is
    // made ready before the result takes its place and is put in place first, so a report
    // that cannot be written stops the run with the earlier result as it was.
    std::optional<std::filesystem::path> reportFile;
    data::XmlLimits limits;
    // Called with what the user should know about the work folder as the run found it (see
    // ExportOptions::notice).
    std::function<void(const std::string& notice)> notice;
};

// Writes the result document. The nine work tables are held while the run reads them (read
// access suffices; others may read them too, no program may write them meanwhile) and are
// closed again whatever happens; the result is saved atomically, so a failing run
// (thq::Error) leaves no result file and an earlier one untouched. Before anything else the
// run puts the work folder in order after an interrupted export (work_folder_repair.hpp) and
// removes temporary files that killed saves left beside the result.
ImportResult runImport(const std::filesystem::path& document,
                       const std::filesystem::path& workFolder, const ImportOptions& options);
ImportResult runImport(const std::filesystem::path& document,
                       const std::filesystem::path& workFolder, Findings* report = nullptr,
                       const data::XmlLimits& limits = {});

// What a report file at `report` would overwrite that the run needs or makes (the document,
// the result, a work table or its index), as "<path> es el documento"; nothing when it
// overwrites none of them. Paths that lead to the same file by another way (a link, a
// relative path) count as the same.
std::optional<std::string> reportOverwrites(const std::filesystem::path& report,
                                            const std::filesystem::path& document,
                                            const std::filesystem::path& workFolder);

}  // namespace thq::importer
