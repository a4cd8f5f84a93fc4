// ASIGNOMT, second half: the tasks appended after the subjects, sharing their registries,
// so a task never takes a subject's short code and a subject's long code is not written twice.
#include "export/export_state.hpp"

namespace thq::exporter {

void AppendTaskCatalogue(ExportState& state) {
    TableWriter<data::WorkTable::Asignomt> table(state, TableStart::Append);
    appendCatalogueRecords(state, table, Section::Tareas);
    table.close();
}

}  // namespace thq::exporter
