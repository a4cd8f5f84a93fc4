#pragma once
// The export run: a school-management document in, the eight work tables out.
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "data/findings.hpp"
#include "data/xml_document.hpp"

namespace thq::exporter {

enum class ExportOutcome {
    Completed,        // all eight tables rebuilt from the document
    MissingDocument,  // no file at the document path: nothing was touched
};

struct ExportOptions {
    // Called with each step's name before the step runs.
    std::function<void(std::string_view step)> beforeStep;
    // The largest document the run loads.
    data::XmlLimits limits;
    // Called with what the user should know about the work folder as the run found it: an
    // interrupted replacement that it finished or undid first, a leftover it left alone.
    std::function<void(const std::string& notice)> notice;
};

// Rebuilds the work tables from the document. The tables are built aside and replace the
// old ones only when every step has succeeded: on any error (thrown as thq::Error, its detail
// naming the place in the document) the work folder is left exactly as it was. Before
// anything else the run puts the work folder in order after an interrupted run (see
// work_folder_repair.hpp).
ExportOutcome runExport(const std::filesystem::path& document,
                        const std::filesystem::path& workFolder, const ExportOptions& options = {});

// Runs the whole export aside, in a temporary folder, without touching any work folder, and
// records every problem it meets instead of stopping at the first: the errors that would stop
// the export and the warnings where data would change or be lost without a word. What stops
// the check itself rather than the export (no temporary folder, memory or disk running out)
// is thrown as thq::Error.
ExportOutcome checkDocument(const std::filesystem::path& document, Findings& findings,
                            const data::XmlLimits& limits = {});

}  // namespace thq::exporter
