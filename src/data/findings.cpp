#include "data/findings.hpp"

#include <algorithm>
#include <utility>

#include "data/text.hpp"

namespace thq {

void Findings::add(Severity severity, std::string_view section, std::size_t row, std::string text,
                   std::string_view rowWord) {
    std::string key = std::to_string(static_cast<int>(severity)) + '\n' + std::string(section) +
                      '\n' + std::to_string(row) + '\n' + text;
    if (!seen_.insert(std::move(key)).second) return;
    list_.push_back(
        Finding{severity, std::string(section), row, std::string(rowWord), std::move(text)});
}

void Findings::sortByPlace(const std::vector<std::string_view>& sectionOrder) {
    auto rank = [&](const Finding& finding) {
        std::size_t i = 0;
        while (i < sectionOrder.size() && sectionOrder[i] != finding.section) ++i;
        return std::make_pair(i, finding.row);
    };
    std::stable_sort(list_.begin(), list_.end(),
                     [&](const Finding& a, const Finding& b) { return rank(a) < rank(b); });
}

std::size_t Findings::count(Severity severity) const {
    std::size_t n = 0;
    for (const auto& finding : list_) n += finding.severity == severity ? 1 : 0;
    return n;
}

namespace {

std::string severityWord(Severity severity) {
    return severity == Severity::Error ? "ERROR" : "AVISO";
}

std::string counted(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

// One finding is one line whatever its texts hold: a line feed in a value cannot start a
// line that looks like a finding of its own, nor an escape sequence reach the terminal.
std::string formatLine(const Finding& finding) {
    std::string line = severityWord(finding.severity) + " " + text::escapeControls(finding.section);
    if (finding.row > 0) line += " " + finding.rowWord + " " + std::to_string(finding.row);
    return line + ": " + text::escapeControls(finding.text);
}

std::string formatCsvHeader() { return "severidad,sección,fila,texto"; }

std::string formatCsvLine(const Finding& finding) {
    return severityWord(finding.severity) + "," +
           text::csvField(text::escapeControls(finding.section)) + "," +
           (finding.row > 0 ? std::to_string(finding.row) : std::string()) + "," +
           text::csvField(text::escapeControls(finding.text));
}

std::string summaryLine(const Findings& findings) {
    return counted(findings.count(Severity::Error), "error", "errores") + ", " +
           counted(findings.count(Severity::Warning), "aviso", "avisos");
}

}  // namespace thq
