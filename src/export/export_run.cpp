#include "export/export_run.hpp"

#include "data/error.hpp"
#include "data/platform_file.hpp"
#include "data/xml_document.hpp"
#include "export/export_state.hpp"
#include "export/staged_replace.hpp"

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
                                                 : "el elemento raíz del documento es <" + rootName +
                                                       ">, no <SERVICIO>"));
    }
}

}  // namespace

ExportOutcome runExport(const std::filesystem::path& document, const std::filesystem::path& workFolder) {
    if (!platform::fileExists(document)) return ExportOutcome::MissingDocument;
    const auto xml = data::XmlDocument::load(document);
    requireSchoolDocument(xml, document);

    ScratchFolder staging(workFolder, "export");
    ExportState state(xml, staging.path());
    BuildSubjectCatalogue(state);
    AppendTaskCatalogue(state);
    BuildSubjectCourseTable(state);
    BuildTeacherTable(state);
    BuildRoomTable(state);
    BuildCourseAndGroupTables(state);
    BuildAssignmentTable(state);
    BuildSlotTable(state);
    replaceWorkTables(staging.path(), workFolder, data::exportTables());
    return ExportOutcome::Completed;
}

}  // namespace thq::exporter
