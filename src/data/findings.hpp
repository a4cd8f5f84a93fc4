#pragma once
// Findings: every problem a run meets in the data, with its place, for `transhoralis check`
// and the import's report. Texts are UTF-8.
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace thq {

enum class Severity { Error, Warning };

struct Finding {
    Severity severity = Severity::Warning;
    std::string section;  // MATERIAS, ..., SOLUC, PROFT; "documento" for the whole document
    std::size_t row = 0;  // from 1; 0 when the finding concerns no single row
    std::string rowWord;  // "fila" in the document, "registro" in a table
    std::string text;
};

// Where a run tells what it finds in the data. The runs are written once against this
// interface: a check and the import's report collect what they are told (Findings), a plain
// run tells it to NoDiagnostics, which keeps nothing.
class Diagnostics {
public:
    // `row` from 1, 0 when the finding concerns no single row; `rowWord` names the row:
    // "fila" in the document, "registro" in a table.
    virtual void add(Severity severity, std::string_view section, std::size_t row, std::string text,
                     std::string_view rowWord) = 0;
    void add(Severity severity, std::string_view section, std::size_t row, std::string text) {
        add(severity, section, row, std::move(text), "fila");
    }
    // False when what is told is dropped: work done only to describe a finding is skipped.
    virtual bool recording() const = 0;

protected:
    Diagnostics() = default;
    Diagnostics(const Diagnostics&) = default;
    Diagnostics& operator=(const Diagnostics&) = default;
    ~Diagnostics() = default;
};

// For plain runs: every finding dropped.
class NoDiagnostics final : public Diagnostics {
public:
    using Diagnostics::add;
    void add(Severity, std::string_view, std::size_t, std::string, std::string_view) override {}
    bool recording() const override { return false; }
};

class Findings final : public Diagnostics {
public:
    using Diagnostics::add;
    // Records a finding once: the same text for the same place is not repeated (several
    // steps read the same row).
    void add(Severity severity, std::string_view section, std::size_t row, std::string text,
             std::string_view rowWord) override;
    bool recording() const override { return true; }
    const std::vector<Finding>& list() const { return list_; }
    std::size_t count(Severity severity) const;
    bool empty() const { return list_.empty(); }
    // Orders the findings by section (in the order given; others after them) and row,
    // keeping the order in which they were found within one row.
    void sortByPlace(const std::vector<std::string_view>& sectionOrder);

private:
    std::vector<Finding> list_;
    std::unordered_set<std::string> seen_;
};

// "AVISO PROFESORES fila 7: text", "ERROR documento: text"; always one line, control
// characters escaped.
std::string formatLine(const Finding& finding);
// severidad,sección,fila,texto with RFC 4180 quoting; one line, control characters escaped.
std::string formatCsvHeader();
std::string formatCsvLine(const Finding& finding);
// "3 errores, 12 avisos".
std::string summaryLine(const Findings& findings);

}  // namespace thq
