#include "export/export_run.hpp"

#include <utility>

#include "data/error.hpp"
#include "data/platform_file.hpp"
#include "data/xml_document.hpp"
#include "export/export_state.hpp"
#include "export/staged_replace.hpp"
#include "export/work_folder_lock.hpp"

namespace thq::exporter {

std::unique_ptr<data::DbfTable> createWorkTable(const ExportState& state, data::WorkTable table) {
    auto dbf = std::make_unique<data::DbfTable>(data::tableFile(state.tablesFolder, table));
    dbf->defineFields(data::layoutOf(table).fields);
    dbf->create();
    dbf->open(data::OpenMode::Shared);
    return dbf;
}

std::unique_ptr<data::DbfTable> openBuiltTable(const ExportState& state, data::WorkTable table) {
    auto dbf = std::make_unique<data::DbfTable>(data::tableFile(state.tablesFolder, table));
    dbf->open(data::OpenMode::Exclusive);
    return dbf;
}

namespace {

// Only a SERVICIO document carries the sections; anything else would silently empty
// every work table.
void requireSchoolDocument(const data::XmlDocument& document, const std::filesystem::path& path) {
    const auto root = document.documentElement();
    const std::string rootName = root ? root.name() : std::string();
    if (rootName != "SERVICIO") {
        throw Error(fileMessage(platform::displayPath(path),
                                rootName.empty() ? "el documento no tiene elemento raíz"
                                                 : "el elemento raíz del documento es <" +
                                                       rootName + ">, no <SERVICIO>"));
    }
}

}  // namespace

ExportOutcome runExport(const std::filesystem::path& document,
                        const std::filesystem::path& workFolder, const ExportHooks& hooks) {
    if (!platform::fileExists(document)) return ExportOutcome::MissingDocument;
    const auto xml = data::XmlDocument::load(document);
    requireSchoolDocument(xml, document);

    WorkFolderLock lock(workFolder);
    ScratchFolder staging(workFolder, "export");
    ExportState state(xml, staging.path());
    using Step = void (*)(ExportState&);
    static constexpr std::pair<std::string_view, Step> kSteps[] = {
        {"BuildSubjectCatalogue", BuildSubjectCatalogue},
        {"AppendTaskCatalogue", AppendTaskCatalogue},
        {"BuildSubjectCourseTable", BuildSubjectCourseTable},
        {"BuildTeacherTable", BuildTeacherTable},
        {"BuildRoomTable", BuildRoomTable},
        {"BuildCourseAndGroupTables", BuildCourseAndGroupTables},
        {"BuildAssignmentTable", BuildAssignmentTable},
        {"BuildSlotTable", BuildSlotTable},
    };
    for (const auto& [name, step] : kSteps) {
        if (hooks.beforeStep) hooks.beforeStep(name);
        step(state);
    }
    if (hooks.beforeStep) hooks.beforeStep("ReplaceWorkTables");
    replaceWorkTables(staging.path(), workFolder, data::exportTables());
    return ExportOutcome::Completed;
}

}  // namespace thq::exporter
