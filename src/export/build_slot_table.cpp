// DIASHORAST: the intervals of the school day numbered 1, 2, 3... in the order of their
// order numbers (1 to 40), seven records per interval, one for each day of the week.
#include <array>
#include <string>
#include <vector>

#include "data/text.hpp"
#include "export/document_reader.hpp"
#include "export/export_state.hpp"

namespace thq::exporter {
namespace {

constexpr int kOrderNumbers = 40;
constexpr int kDaysPerWeek = 7;

struct Interval {
    std::string code;
    std::string name;
    std::string start;
    std::string end;
    std::string order;
};

// A row's values are found by their `dato` attribute; the later of two equal ones counts,
// and a value without `dato` says nothing.
Interval readInterval(const SectionRow& row) {
    Interval interval;
    for (const auto& value : row.values()) {
        const auto dato = value.attribute("dato");
        if (!dato) continue;
        std::string* target = nullptr;
        if (*dato == "CODIGO_QUELVA")
            target = &interval.code;
        else if (*dato == "NOMBRE")
            target = &interval.name;
        else if (*dato == "INICIO")
            target = &interval.start;
        else if (*dato == "FIN")
            target = &interval.end;
        else if (*dato == "ORDEN")
            target = &interval.order;
        if (target != nullptr) *target = valueText(value);
    }
    return interval;
}

// Times shorter than five characters gain a leading "0" each time they are written.
void padTime(std::string& time) {
    if (time.size() < 5) time = "0" + time;
}

// Minutes of a time: its characters 1-2 are the hours, from the fourth on the minutes.
long long minutesOf(const std::string& time, long long& hoursOut) {
    hoursOut = text::toInt32(time.substr(0, 2));
    return time.size() > 3 ? text::toInt32(time.substr(3, 5)) : text::toInt32("");
}

long long lengthInMinutes(const std::string& start, const std::string& end) {
    long long endHours = 0;
    long long startHours = 0;
    const long long endMinutes = minutesOf(end, endHours);
    const long long startMinutes = minutesOf(start, startHours);
    return (endHours * 60 + endMinutes) - (startHours * 60 + startMinutes);
}

void writeInterval(data::DbfTable& table, Interval& interval, int slot) {
    const std::string slotText = std::to_string(slot);
    for (int day = 1; day <= kDaysPerWeek; ++day) {
        const std::string dayText = std::to_string(day);
        table.append();
        table.setText("DIHO", dayText + slotText);
        table.setText("DIA", dayText);
        table.setText("HORA", slotText);
        table.setText("TEXTOHOR", interval.name);
        table.setText("CODDIHO", interval.code);
        padTime(interval.start);
        table.setText("HORADESDE", interval.start);
        padTime(interval.end);
        table.setText("HORAHASTA", interval.end);
        table.setText("MINUTOS", std::to_string(lengthInMinutes(interval.start, interval.end)));
        table.post();
    }
}

}  // namespace

void BuildSlotTable(ExportState& state) {
    auto table = createWorkTable(state, data::WorkTable::Diashorast);
    // Rows by the order number their order text names exactly ("7", never "07" or "7.0"),
    // each list in document order: the same result as forty passes over the section.
    std::array<std::vector<Interval>, kOrderNumbers + 1> byOrder;
    for (const auto& row : readSection(state.document, Section::Intervalos)) {
        Interval interval = readInterval(row);
        for (int order = 1; order <= kOrderNumbers; ++order) {
            if (interval.order == std::to_string(order)) {
                byOrder[static_cast<std::size_t>(order)].push_back(std::move(interval));
                break;
            }
        }
    }
    int slot = 1;
    for (auto& intervals : byOrder) {
        for (auto& interval : intervals) writeInterval(*table, interval, slot++);
    }
    table->close();
}

}  // namespace thq::exporter
