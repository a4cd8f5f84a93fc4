#include "export/export_run.hpp"

#include <utility>

#include "data/error.hpp"
#include "data/platform_file.hpp"
#include "data/xml_document.hpp"
#include "export/export_state.hpp"
#include "export/staged_replace.hpp"
#include "export/work_folder_lock.hpp"

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
                fileMessage(platform::displayPath(path),
                            "el elemento <" + namespaced.name() + "> (línea " +
                                std::to_string(namespaced.line()) +
                                ") está en el espacio de nombres «" + *namespaced.namespaceUri() +
                                "»: el documento que se exporta no usa espacios de nombres"));
        }
    }
    const std::string rootName = root ? root.name() : std::string();
    if (rootName != "SERVICIO") {
        throw Error(fileMessage(platform::displayPath(path),
                                rootName.empty() ? "el documento no tiene elemento raíz"
                                                 : "el elemento raíz del documento es <" +
                                                       rootName + ">, no <SERVICIO>"));
    }
}

using Step = void (*)(ExportState&);
constexpr std::pair<std::string_view, Step> kSteps[] = {
    {"BuildSubjectCatalogue", BuildSubjectCatalogue},
    {"AppendTaskCatalogue", AppendTaskCatalogue},
    {"BuildSubjectCourseTable", BuildSubjectCourseTable},
    {"BuildTeacherTable", BuildTeacherTable},
    {"BuildRoomTable", BuildRoomTable},
    {"BuildCourseAndGroupTables", BuildCourseAndGroupTables},
    {"BuildAssignmentTable", BuildAssignmentTable},
    {"BuildSlotTable", BuildSlotTable},
};

}  // namespace

ExportOutcome runExport(const std::filesystem::path& document,
                        const std::filesystem::path& workFolder, const ExportOptions& options) {
    if (!platform::fileExists(document)) return ExportOutcome::MissingDocument;
    const auto xml = data::XmlDocument::load(document, options.limits);
    requireSchoolDocument(xml, document);

    WorkFolderLock lock(workFolder);
    ScratchFolder staging(workFolder, "export");
    ExportState state(xml, staging.path());
    for (const auto& [name, step] : kSteps) {
        if (options.beforeStep) options.beforeStep(name);
        step(state);
    }
    if (options.beforeStep) options.beforeStep("ReplaceWorkTables");
    replaceWorkTables(staging.path(), workFolder, data::exportTables());
    return ExportOutcome::Completed;
}

ExportOutcome checkDocument(const std::filesystem::path& document, Findings& findings,
                            const data::XmlLimits& limits) {
    if (!platform::fileExists(document)) return ExportOutcome::MissingDocument;
    try {
        const auto xml = data::XmlDocument::load(document, limits);
        requireSchoolDocument(xml, document);
        ScratchFolder staging(std::filesystem::temp_directory_path(), "check");
        ExportState state(xml, staging.path(), &findings);
        for (const auto& [name, step] : kSteps) step(state);
    } catch (const Error& error) {
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
