#include "export/export_run.hpp"

#include <string>
#include <utility>

#include "data/error.hpp"
#include "data/platform_file.hpp"
#include "data/xml_document.hpp"
#include "export/export_state.hpp"
#include "export/staged_replace.hpp"
#include "export/work_folder_lock.hpp"
#include "export/work_folder_repair.hpp"

namespace thq::exporter {

namespace {

// Only a SERVICIO document carries the sections; anything else would silently empty
// every work table. So would a document whose elements are in a namespace: the sections'
// paths name elements in none, so they would find nothing.
void requireSchoolDocument(const data::XmlDocument& document, const std::filesystem::path& path) {
    const auto root = document.documentElement();
    if (root) {
        const auto namespaced =
            document.firstElementInNamespace({"SERVICIO", "SALIDAS", "listasal", "salida"});
        if (namespaced) {
            throw Error(
                ErrorKind::Document,
                fileMessage(platform::displayPath(path),
                            "el elemento <" + namespaced.name() + "> (línea " +
                                std::to_string(namespaced.line()) +
                                ") está en el espacio de nombres «" + *namespaced.namespaceUri() +
                                "»: el documento que se exporta no usa espacios de nombres"));
        }
    }
    const std::string rootName = root ? root.name() : std::string();
    if (rootName != "SERVICIO") {
        throw Error(ErrorKind::Document,
                    fileMessage(platform::displayPath(path),
                                rootName.empty() ? "el documento no tiene elemento raíz"
                                                 : "el elemento raíz del documento es <" +
                                                       rootName + ">, no <SERVICIO>"));
    }
}

using Step = void (*)(ExportState&);
struct StepEntry {
    std::string_view name;
    Step step;
    std::string_view builds;  // for messages
};
constexpr StepEntry kSteps[] = {
    {"BuildSubjectCatalogue", BuildSubjectCatalogue, "la tabla ASIGNOMT"},
    {"AppendTaskCatalogue", AppendTaskCatalogue, "la tabla ASIGNOMT"},
    {"BuildSubjectCourseTable", BuildSubjectCourseTable, "la tabla ASIGNOMT2"},
    {"BuildTeacherTable", BuildTeacherTable, "la tabla PROFT"},
    {"BuildRoomTable", BuildRoomTable, "la tabla AULAT"},
    {"BuildCourseAndGroupTables", BuildCourseAndGroupTables, "las tablas CURSOST y GRUPOST"},
    {"BuildAssignmentTable", BuildAssignmentTable, "la tabla ASIGT"},
    {"BuildSlotTable", BuildSlotTable, "la tabla DIASHORAST"},
};

data::XmlDocument loadSchoolDocument(const std::filesystem::path& path,
                                     const data::XmlLimits& limits) {
    auto xml = namingMemoryUse("leer el documento " + platform::displayPath(path),
                               [&] { return data::XmlDocument::load(path, limits); });
    requireSchoolDocument(xml, path);
    return xml;
}

void runSteps(ExportState& state, const ExportOptions* options) {
    for (const auto& entry : kSteps) {
        namingMemoryUse("construir " + std::string(entry.builds), [&] {
            if (options != nullptr && options->beforeStep) options->beforeStep(entry.name);
            entry.step(state);
        });
    }
}

}  // namespace

ExportOutcome runExport(const std::filesystem::path& document,
                        const std::filesystem::path& workFolder, const ExportOptions& options) {
    if (!platform::fileExists(document)) return ExportOutcome::MissingDocument;
    WorkFolderLock lock(workFolder);
    for (const auto& notice : repairLockedWorkFolder(workFolder)) {
        if (options.notice) options.notice(notice);
    }
    const auto xml = loadSchoolDocument(document, options.limits);

    ScratchFolder staging(workFolder, "export");
    ExportState state(xml, staging.path());
    runSteps(state, &options);
    namingMemoryUse("sustituir las tablas", [&] {
        if (options.beforeStep) options.beforeStep("ReplaceWorkTables");
        replaceWorkTables(staging, workFolder, data::exportTables());
    });
    return ExportOutcome::Completed;
}

ExportOutcome checkDocument(const std::filesystem::path& document, Findings& findings,
                            const data::XmlLimits& limits) {
    if (!platform::fileExists(document)) return ExportOutcome::MissingDocument;
    // Where the tables are built aside; not the document's problem when it is missing.
    const std::filesystem::path scratchParent = platform::temporaryFolder();
    try {
        const auto xml = loadSchoolDocument(document, limits);
        ScratchFolder staging(scratchParent, "check");
        ExportState state(xml, staging.path(), findings);
        runSteps(state, nullptr);
    } catch (const Error& error) {
        if (error.kind() == ErrorKind::OutOfMemory) throw;  // not a problem of the document
        // What cannot be checked past (a document that does not load, no code left, a
        // temporary table that cannot be written) ends the check as one error.
        std::string text = error.what();
        if (!error.detail().empty()) text += " (" + error.detail() + ")";
        findings.add(Severity::Error, "documento", 0, text);
    }
    findings.sortByPlace({"documento", "MATERIAS", "TAREAS", "PROFESORES", "AULAS", "CURSOS",
                          "GRUPOS", "INTERVALOS"});
    return ExportOutcome::Completed;
}

}  // namespace thq::exporter
