// DIASHORAST: the intervals of the school day numbered 1, 2, 3... in the order of their
// order numbers (1 to 40), seven records per interval, one for each day of the week.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "data/text.hpp"
#include "export/export_state.hpp"

namespace thq::exporter {
namespace {

constexpr int kOrderNumbers = 40;
constexpr int kDaysPerWeek = 7;

struct Interval {
    const SectionRow* row = nullptr;
    std::string code;
    std::string name;
    std::string start;
    std::string end;
    std::string order;
    std::string startAsWritten;  // for messages, as the document wrote them (UTF-8): the
    std::string endAsWritten;    // padding changes start and end
};

// A row's values are found by their `dato` attribute; the later of two equal ones counts,
// and a value without `dato` says nothing.
Interval readInterval(const ExportState& state, const SectionRow& row) {
    Interval interval;
    interval.row = &row;
    std::size_t position = 0;
    for (const auto& value : row.values()) {
        const auto dato = value.attribute("dato");
        if (!dato) {
            state.warn(row, "el valor " + std::to_string(position) +
                                " no tiene atributo dato y no se lee");
        }
        ++position;
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
        if (target != nullptr) *target = row.textOf(value, "dato " + *dato);
        if (target == &interval.start) interval.startAsWritten = text::trim(value.text());
        if (target == &interval.end) interval.endAsWritten = text::trim(value.text());
    }
    return interval;
}

// The order number a row's order text names exactly ("7", never "07" or "7.0"), if any.
std::optional<int> orderNumber(const std::string& order) {
    for (int number = 1; number <= kOrderNumbers; ++number) {
        if (order == std::to_string(number)) return number;
    }
    return std::nullopt;
}

// Times shorter than five characters gain a leading "0" each time they are written.
void padTime(std::string& time) {
    if (time.size() < 5) time = "0" + time;
}

// Characters [first, first + count) of a time that padding has given `pad` leading zeros,
// as the document wrote them.
std::string writtenPart(const std::string& asWritten, std::size_t pad, std::size_t first,
                        std::size_t count) {
    std::string out;
    for (std::size_t i = first; i < first + count; ++i) {
        out += i < pad ? std::string("0") : text::utf8Characters(asWritten, i - pad, 1);
    }
    return out;
}

// Minutes since midnight of a time: its characters 1-2 are the hours, from the fourth on
// the minutes. Nothing when a part does not convert (while checking).
std::optional<long long> minutesOf(const ExportState& state, const Interval& interval,
                                   const char* dato, const std::string& time,
                                   const std::string& asWritten) {
    const std::string place = std::string("dato ") + dato;
    const std::size_t written = text::utf8ToCp1252(asWritten).size();
    const std::size_t pad = time.size() > written ? time.size() - written : 0;
    const auto hours = state.toInt32(*interval.row, place, asWritten, time.substr(0, 2),
                                     writtenPart(asWritten, pad, 0, 2));
    if (!hours) return std::nullopt;
    const auto minutes = state.toInt32(
        *interval.row, place, asWritten, time.size() > 3 ? time.substr(3, 5) : std::string(),
        time.size() > 3 ? writtenPart(asWritten, pad, 3, 5) : std::string());
    if (!minutes) return std::nullopt;
    return static_cast<long long>(*hours) * 60 + *minutes;
}

// Writes the interval's seven records; stops (while checking) at a time that does not convert.
void writeInterval(const ExportState& state, TableWriter<data::WorkTable::Diashorast>& table,
                   Interval& interval, int slot) {
    const std::string slotText = std::to_string(slot);
    const SectionRow& row = *interval.row;
    for (int day = 1; day <= kDaysPerWeek; ++day) {
        padTime(interval.start);
        padTime(interval.end);
        const auto end = minutesOf(state, interval, "FIN", interval.end, interval.endAsWritten);
        const auto start =
            end ? minutesOf(state, interval, "INICIO", interval.start, interval.startAsWritten)
                : std::nullopt;
        if (!start) return;
        const std::string dayText = std::to_string(day);
        table.append();
        table.setDerivedValue(data::DIASHORAST::DIHO, dayText + slotText);
        table.setDerivedValue(data::DIASHORAST::DIA, dayText);
        table.setDerivedValue(data::DIASHORAST::HORA, slotText);
        table.setDocumentValue(row, data::DIASHORAST::TEXTOHOR, interval.name);
        table.setDocumentValue(row, data::DIASHORAST::CODDIHO, interval.code);
        table.setDocumentValue(row, data::DIASHORAST::HORADESDE, interval.start);
        table.setDocumentValue(row, data::DIASHORAST::HORAHASTA, interval.end);
        table.setDerivedValue(data::DIASHORAST::MINUTOS, std::to_string(*end - *start));
        table.post();
    }
}

}  // namespace

void BuildSlotTable(ExportState& state) {
    TableWriter<data::WorkTable::Diashorast> table(state);
    const auto rows = state.rows(Section::Intervalos);
    // Rows by the order number their order text names, each list in document order: the
    // same result as forty passes over the section, one per order number.
    std::array<std::vector<Interval>, kOrderNumbers + 1> byOrder;
    for (const auto& row : rows) {
        Interval interval = readInterval(state, row);
        const auto number = orderNumber(interval.order);
        if (!number) {
            state.warn(row, "el orden " + text::quoted(text::cp1252ToUtf8(interval.order)) +
                                " no es un número de 1 a 40 escrito sin ceros ni decimales: el "
                                "intervalo no se escribe");
            continue;
        }
        auto& sameOrder = byOrder[static_cast<std::size_t>(*number)];
        if (!sameOrder.empty()) {
            state.warn(row, "el orden " + interval.order + " también es el de la fila " +
                                std::to_string(sameOrder.front().row->number()) +
                                ": los dos intervalos ocupan tramos seguidos");
        }
        sameOrder.push_back(std::move(interval));
    }
    int slot = 1;
    for (auto& intervals : byOrder) {
        for (auto& interval : intervals) writeInterval(state, table, interval, slot++);
    }
    table.close();
}

}  // namespace thq::exporter
