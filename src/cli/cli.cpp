#include "cli/cli.hpp"

#include <filesystem>
#include <optional>
#include <ostream>

#include "cli/csv_dump.hpp"
#include "data/dbf_table.hpp"
#include "data/error.hpp"
#include "data/findings.hpp"
#include "data/platform_file.hpp"
#include "data/text.hpp"
#include "data/work_folder.hpp"
#include "export/export_run.hpp"
#include "import/import_run.hpp"

namespace thq::cli {
namespace {

constexpr const char* kCompletedMessage = "Proceso finalizado";
constexpr const char* kMissingMessage = "No existe archivo";

struct Command {
    std::string name;
    std::optional<std::filesystem::path> workFolder;
    std::optional<std::filesystem::path> report;  // import --report FILE
    bool csv = false;                             // check --format csv
    data::XmlLimits limits;                       // --max-document-size MB
    std::string operand;
};

struct UsageError {
    std::string message;
};

// A whole number of megabytes, 1 to 1048576 (1 TB).
std::uint64_t megabytes(const std::string& text) {
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || value > 1048576) throw UsageError{"tamaño no válido: " + text};
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (text.empty() || value == 0 || value > 1048576)
        throw UsageError{"tamaño no válido: " + text};
    return value << 20;
}

Command parse(const std::vector<std::string>& args) {
    if (args.empty()) throw UsageError{"falta la orden"};
    Command command;
    command.name = args[0];
    bool operandsOnly = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!operandsOnly && (arg == "-w" || arg == "--work-folder")) {
            if (i + 1 >= args.size()) throw UsageError{"falta la carpeta tras " + arg};
            command.workFolder = std::filesystem::path(args[++i]);
        } else if (!operandsOnly && arg.rfind("--work-folder=", 0) == 0) {
            command.workFolder = std::filesystem::path(arg.substr(14));
        } else if (!operandsOnly && arg == "--max-document-size") {
            if (i + 1 >= args.size()) throw UsageError{"falta el tamaño tras --max-document-size"};
            command.limits.maxDocumentBytes = megabytes(args[++i]);
        } else if (!operandsOnly && command.name == "import" && arg == "--report") {
            if (i + 1 >= args.size()) throw UsageError{"falta el archivo tras --report"};
            command.report = std::filesystem::path(args[++i]);
        } else if (!operandsOnly && command.name == "check" && arg == "--format") {
            if (i + 1 >= args.size()) throw UsageError{"falta el formato tras --format"};
            const std::string format = args[++i];
            if (format != "csv" && format != "texto")
                throw UsageError{"formato desconocido: " + format};
            command.csv = format == "csv";
        } else if (!operandsOnly && arg == "--") {
            operandsOnly = true;
        } else if (!operandsOnly && arg.size() > 1 && arg[0] == '-') {
            throw UsageError{"opción desconocida: " + arg};
        } else if (command.operand.empty()) {
            command.operand = arg;
        } else {
            throw UsageError{"sobra el argumento: " + arg};
        }
    }
    if (command.operand.empty()) throw UsageError{"falta el documento o la tabla"};
    return command;
}

// A table name (PROFT) stands for its file in the work folder; anything naming a file
// (a folder part or a .DBF ending) is taken as a path.
std::filesystem::path dumpTarget(const Command& command) {
    std::filesystem::path operand(command.operand);
    const std::string extension = text::upperAscii(operand.extension().string());
    if (operand.has_parent_path() || extension == ".DBF") return operand;
    const auto workFolder = data::resolveWorkFolder(command.workFolder);
    data::requireWorkFolder(workFolder);
    return workFolder / (command.operand + ".DBF");
}

int runExport(const Command& command, std::ostream& out, std::ostream& err) {
    exporter::ExportOptions options;
    options.limits = command.limits;
    const auto outcome =
        exporter::runExport(command.operand, data::resolveWorkFolder(command.workFolder), options);
    if (outcome == exporter::ExportOutcome::MissingDocument) {
        err << kMissingMessage << '\n';
        return kMissingDocument;
    }
    out << kCompletedMessage << '\n';
    return kCompleted;
}

std::string reportText(const Findings& findings) {
    std::string text;
    for (const auto& finding : findings.list()) text += formatLine(finding) + '\n';
    return text + summaryLine(findings) + '\n';
}

int runImport(const Command& command, std::ostream& out, std::ostream& err) {
    Findings report;
    const auto result =
        importer::runImport(command.operand, data::resolveWorkFolder(command.workFolder),
                            command.report ? &report : nullptr, command.limits);
    if (result.outcome == importer::ImportOutcome::MissingDocument) {
        err << kMissingMessage << '\n';
        return kMissingDocument;
    }
    if (command.report) platform::writeFileAtomically(*command.report, reportText(report));
    out << kCompletedMessage << '\n';
    return kCompleted;
}

// Every problem the export would meet, one line each, the summary last.
int runCheck(const Command& command, std::ostream& out, std::ostream& err) {
    Findings findings;
    if (exporter::checkDocument(command.operand, findings, command.limits) ==
        exporter::ExportOutcome::MissingDocument) {
        err << kMissingMessage << '\n';
        return kMissingDocument;
    }
    if (command.csv) {
        out << formatCsvHeader() << "\r\n";
        for (const auto& finding : findings.list()) out << formatCsvLine(finding) << "\r\n";
    } else {
        for (const auto& finding : findings.list()) out << formatLine(finding) << '\n';
        out << summaryLine(findings) << '\n';
    }
    if (findings.count(Severity::Error) > 0) return kFailed;
    return findings.empty() ? kCompleted : kWarningsOnly;
}

int runDump(const Command& command, std::ostream& out) {
    data::DbfTable table(dumpTarget(command));
    table.open(data::OpenMode::ReadOnly);
    writeCsv(table, out);
    table.close();
    return kCompleted;
}

int dispatch(const Command& command, std::ostream& out, std::ostream& err) {
    if (command.name == "export") return runExport(command, out, err);
    if (command.name == "import") return runImport(command, out, err);
    if (command.name == "dump") return runDump(command, out);
    if (command.name == "check") return runCheck(command, out, err);
    throw UsageError{"orden desconocida: " + command.name};
}

}  // namespace

std::string usageText() {
    return "Uso:\n"
           "  transhoralis export [-w CARPETA | --work-folder CARPETA] DOCUMENTO\n"
           "      Reconstruye las ocho tablas de trabajo del programa de horarios a partir de\n"
           "      un documento XML de Quelva.\n"
           "  transhoralis import [-w CARPETA | --work-folder CARPETA] [--report ARCHIVO] "
           "DOCUMENTO\n"
           "      Lee la solución SOLUC con las tablas de trabajo y escribe, junto al documento,\n"
           "      ResultadoHoralis seguido del nombre del documento. Con --report, anota en\n"
           "      ARCHIVO las lecciones que no se pudieron traducir del todo.\n"
           "  transhoralis check [-w CARPETA] [--format texto|csv] DOCUMENTO\n"
           "      Hace la exportación aparte, sin tocar la carpeta de trabajo, y enumera todos\n"
           "      los problemas: errores que la pararían y avisos donde un dato cambiaría o\n"
           "      se perdería sin decirlo.\n"
           "  transhoralis dump [-w CARPETA | --work-folder CARPETA] TABLA\n"
           "      Muestra una tabla de trabajo (PROFT, ASIGT...) o un archivo .DBF como CSV.\n"
           "  transhoralis --help\n"
           "\n"
           "Carpeta de trabajo: la opción -w; si falta, la variable de entorno HTEMP; si falta,\n"
           "$HOME/HTEMP (C:\\HTEMP en Windows).\n"
           "--max-document-size MB: el mayor documento que se lee (64 MB si no se indica).\n"
           "Código de salida: 0 proceso finalizado, 1 error, 2 uso incorrecto, 3 no existe el\n"
           "documento, 4 (check) solo avisos.\n";
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h" || args[0] == "help")) {
        out << usageText();
        return kCompleted;
    }
    try {
        return dispatch(parse(args), out, err);
    } catch (const UsageError& usage) {
        err << "transhoralis: " << usage.message << "\n\n" << usageText();
        return kUsage;
    } catch (const Error& error) {
        err << text::errorBoxText(error.what()) << '\n';
        if (!error.detail().empty()) err << error.detail() << '\n';
        return kFailed;
    } catch (const std::exception& error) {
        err << text::errorBoxText(error.what()) << '\n';
        return kFailed;
    }
}

}  // namespace thq::cli
