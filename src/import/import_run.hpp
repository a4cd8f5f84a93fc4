#pragma once
// The import run: the timetable solution in SOLUC, resolved against the work tables, written
// back into the chosen document as its new SALIDAS.
#include <cstddef>
#include <filesystem>

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

// Writes the result document. The nine work tables are held while the run reads them (read
// access suffices; others may read them too, no program may write them meanwhile) and are
// closed again whatever happens; the result is saved atomically, so a failing
// run (thq::Error) leaves no result file and an earlier one untouched. With `report`, what
// would otherwise be lost without a word is noted as warnings: lookups that found no record,
// teachers without lessons, lessons of teachers that PROFT does not carry.
ImportResult runImport(const std::filesystem::path& document,
                       const std::filesystem::path& workFolder, Findings* report = nullptr,
                       const data::XmlLimits& limits = {});

}  // namespace thq::importer
