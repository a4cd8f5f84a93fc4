#include "cli/cli.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <new>
#include <optional>
#include <ostream>

#include "cli/csv_dump.hpp"
#include "data/dbf_table.hpp"
#include "data/error.hpp"
#include "data/findings.hpp"
#include "data/paths.hpp"
#include "data/platform_file.hpp"
#include "data/text.hpp"
#include "data/work_folder.hpp"
#include "export/export_run.hpp"
#include "export/work_folder_repair.hpp"
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

// A command line that asks for something wrongly: the message, then the usage text.
Error usageError(const std::string& message) { return {ErrorKind::Usage, message}; }

// The standard output could not take what the run wrote (a full disk, a closed pipe).
struct OutputError {
    int error = 0;  // the errno of the failed write, 0 when unknown
};

// Stops the run as soon as the output has failed: a dump of a large table or a long list of
// findings is not produced for nothing.
void requireOutput(std::ostream& out) {
    if (!out) throw OutputError{errno};
}

// A folder or file name given as an option: empty is a mistake, never "the default".
std::filesystem::path nonEmptyPath(const std::string& text, const std::string& option) {
    if (text.empty()) throw usageError("el nombre tras " + option + " está vacío");
    return data::pathFromUtf8(text);
}

// A whole number of megabytes, 1 to 1048576 (1 TB).
std::uint64_t megabytes(const std::string& text) {
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || value > 1048576) throw usageError("tamaño no válido: " + text);
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (text.empty() || value == 0 || value > 1048576)
        throw usageError("tamaño no válido: " + text);
    return value << 20;
}

Command parse(const std::vector<std::string>& args) {
    if (args.empty()) throw usageError("falta la orden");
    Command command;
    command.name = args[0];
    bool operandsOnly = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!operandsOnly && (arg == "-w" || arg == "--work-folder")) {
            if (i + 1 >= args.size()) throw usageError("falta la carpeta tras " + arg);
            command.workFolder = nonEmptyPath(args[++i], arg);
        } else if (!operandsOnly && arg.rfind("--work-folder=", 0) == 0) {
            command.workFolder = nonEmptyPath(arg.substr(14), "--work-folder=");
        } else if (!operandsOnly && arg == "--max-document-size") {
            if (i + 1 >= args.size()) throw usageError("falta el tamaño tras --max-document-size");
            command.limits.maxDocumentBytes = megabytes(args[++i]);
        } else if (!operandsOnly && command.name == "import" && arg == "--report") {
            if (i + 1 >= args.size()) throw usageError("falta el archivo tras --report");
            command.report = nonEmptyPath(args[++i], arg);
        } else if (!operandsOnly && command.name == "check" && arg == "--format") {
            if (i + 1 >= args.size()) throw usageError("falta el formato tras --format");
            const std::string& format = args[++i];
            if (format != "csv" && format != "texto")
                throw usageError("formato desconocido: " + format);
            command.csv = format == "csv";
        } else if (!operandsOnly && arg == "--") {
            operandsOnly = true;
        } else if (!operandsOnly && arg.size() > 1 && arg[0] == '-') {
            throw usageError("opción desconocida: " + arg);
        } else if (command.operand.empty()) {
            command.operand = arg;
        } else {
            throw usageError("sobra el argumento: " + arg);
        }
    }
    if (command.operand.empty()) throw usageError("falta el documento o la tabla");
    return command;
}

// A table name (PROFT) stands for its file in the work folder; anything naming a file
// (a folder part or a .DBF ending) is taken as a path.
std::filesystem::path dumpTarget(const Command& command) {
    std::filesystem::path operand = data::pathFromUtf8(command.operand);
    const std::string extension = text::upperAscii(data::utf8Of(operand.extension()));
    if (operand.has_parent_path() || extension == ".DBF") return operand;
    const auto workFolder = data::resolveWorkFolder(command.workFolder);
    data::requireWorkFolder(workFolder);
    return workFolder / data::pathFromUtf8(command.operand + ".DBF");
}

// What the repair of the work folder has to tell goes to stderr, one notice a line.
std::function<void(const std::string&)> noticesTo(std::ostream& err) {
    return [&err](const std::string& notice) {
        err << "Aviso: " << text::escapeControls(text::errorBoxText(notice)) << '\n';
    };
}

int runExport(const Command& command, std::ostream& out, std::ostream& err) {
    exporter::ExportOptions options;
    options.limits = command.limits;
    options.notice = noticesTo(err);
    const auto outcome = exporter::runExport(data::pathFromUtf8(command.operand),
                                             data::resolveWorkFolder(command.workFolder), options);
    if (outcome == exporter::ExportOutcome::MissingDocument) {
        err << kMissingMessage << '\n';
        return kMissingDocument;
    }
    out << kCompletedMessage << '\n';
    return kCompleted;
}

int runImport(const Command& command, std::ostream& out, std::ostream& err) {
    const auto workFolder = data::resolveWorkFolder(command.workFolder);
    if (command.report) {
        if (auto overwritten = importer::reportOverwrites(
                *command.report, data::pathFromUtf8(command.operand), workFolder)) {
            throw usageError(
                "el informe de --report no puede escribirse encima de lo que la "
                "importación lee o escribe: " +
                *overwritten);
        }
    }
    Findings report;
    importer::ImportOptions options;
    options.report = command.report ? &report : nullptr;
    options.reportFile = command.report;
    options.limits = command.limits;
    options.notice = noticesTo(err);
    const auto result =
        importer::runImport(data::pathFromUtf8(command.operand), workFolder, options);
    if (result.outcome == importer::ImportOutcome::MissingDocument) {
        err << kMissingMessage << '\n';
        return kMissingDocument;
    }
    out << kCompletedMessage << '\n';
    return kCompleted;
}

// Every problem the export would meet, one line each, the summary last.
int runCheck(const Command& command, std::ostream& out, std::ostream& err) {
    // The check does not read the work folder, but it is a run on it like the others: an
    // interrupted export there is put right first. Should that fail, the check goes on.
    try {
        for (const auto& notice :
             exporter::repairWorkFolder(data::resolveWorkFolder(command.workFolder))) {
            noticesTo(err)(notice);
        }
    } catch (const Error& error) {
        noticesTo(err)(error.what());
    }
    Findings findings;
    if (exporter::checkDocument(data::pathFromUtf8(command.operand), findings, command.limits) ==
        exporter::ExportOutcome::MissingDocument) {
        err << kMissingMessage << '\n';
        return kMissingDocument;
    }
    if (command.csv) {
        out << formatCsvHeader() << "\r\n";
        for (const auto& finding : findings.list()) {
            out << formatCsvLine(finding) << "\r\n";
            requireOutput(out);
        }
    } else {
        for (const auto& finding : findings.list()) {
            out << formatLine(finding) << '\n';
            requireOutput(out);
        }
        out << summaryLine(findings) << '\n';
    }
    if (findings.count(Severity::Error) > 0) return kFailed;
    return findings.empty() ? kCompleted : kWarningsOnly;
}

int runDump(const Command& command, std::ostream& out, std::ostream& err) {
    const std::filesystem::path target = dumpTarget(command);
    const std::filesystem::path folder = target.parent_path();
    for (const auto& notice : exporter::repairWorkFolder(folder.empty() ? "." : folder)) {
        noticesTo(err)(notice);
    }
    data::DbfTable table(target);
    table.open(data::OpenMode::ReadOnly);
    writeCsv(table, out);
    requireOutput(out);
    table.close();
    return kCompleted;
}

int dispatch(const Command& command, std::ostream& out, std::ostream& err) {
    if (command.name == "export") return runExport(command, out, err);
    if (command.name == "import") return runImport(command, out, err);
    if (command.name == "dump") return runDump(command, out, err);
    if (command.name == "check") return runCheck(command, out, err);
    throw usageError("orden desconocida: " + command.name);
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

namespace {

// What reaches the terminal: the error box's text, with no control character of a value or a
// path let through.
void printError(std::ostream& err, const std::string& message, const std::string& detail = {}) {
    err << text::escapeControls(text::errorBoxText(message)) << '\n';
    if (!detail.empty()) err << text::escapeControls(detail) << '\n';
}

int outputFailed(std::ostream& err, int error) {
    // A reader that stopped early (| head) is no failure to speak of; a full disk is.
    if (error == EPIPE) return kFailed;
    std::string message = "transhoralis: no se puede escribir la salida";
    if (error != 0) message += std::string(": ") + std::strerror(error);
    printError(err, message);
    return kFailed;
}

int runCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h" || args[0] == "help")) {
        out << usageText();
        return kCompleted;
    }
    try {
        return dispatch(parse(args), out, err);
    } catch (const OutputError&) {
        throw;
    } catch (const Error& error) {
        if (error.kind() == ErrorKind::Usage) {
            err << "transhoralis: " << text::escapeControls(error.what()) << "\n\n" << usageText();
            return kUsage;
        }
        printError(err, error.what(), error.detail());
        return kFailed;
    } catch (const std::bad_alloc&) {
        printError(err, "No hay memoria suficiente para terminar la orden");
        return kFailed;
    } catch (const std::exception& error) {
        printError(err, error.what());
        return kFailed;
    }
}

}  // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    int code = kFailed;
    try {
        code = runCommand(args, out, err);
        errno = 0;
        out.flush();
        requireOutput(out);
    } catch (const OutputError& failure) {
        return outputFailed(err, failure.error);
    }
    return code;
}

}  // namespace thq::cli
