// The command line where a run finds what a killed export left, where its output cannot be
// written, where an option would make it overwrite what the user keeps, and where values from
// a document or a table would otherwise reach the terminal as they are, and where a table is
// not a regular file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "test_support.hpp"

namespace thq::test {
namespace {

namespace fs = std::filesystem;
using Snapshot = std::map<std::string, std::string>;

const std::string kSample = (sourceDir() / "samples" / "ies-sierra-de-la-vega.xml").string();
constexpr std::array<const char*, 8> kTables = {"ASIGNOMT", "ASIGNOMT2", "PROFT", "AULAT",
                                                "CURSOST",  "GRUPOST",   "ASIGT", "DIASHORAST"};

ProcessResult transhoralis(const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& env = {}) {
    std::vector<std::string> argv = {(binDir() / "transhoralis").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv, env);
}

// Runs transhoralis with `args` inside a bash script, where "$@" stands for the command.
ProcessResult inShell(const std::string& script, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"/bin/bash", "-c", script, "bash",
                                     (binDir() / "transhoralis").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv);
}

bool anyOfOurs(const Snapshot& snapshot) {
    for (const auto& [name, bytes] : snapshot) {
        if (name.find(".transhoralis") != std::string::npos) return true;
    }
    return false;
}

// The sample school exported into HTEMP with the demo timetable, the document beside it.
class School : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(work_);
        fs::copy_file(kSample, document_);
        ASSERT_EQ(transhoralis({"export", "-w", work_.string(), document_.string()}).exitCode, 0);
        const auto demo = runProcess({(binDir() / "horalia-demo-soluc").string(), "-w", work_});
        ASSERT_EQ(demo.exitCode, 0) << demo.err;
    }

    TempDir dir_;
    fs::path work_ = dir_ / "HTEMP";
    fs::path document_ = dir_ / "horario.xml";
    fs::path result_ = dir_ / "ResultadoHoralishorario.xml";
};

// A table that is a pipe is named as what it is, and never waited on.
TEST_F(School, ATableThatIsAPipeIsNamedAsSuch) {
    fs::remove(work_ / "SOLUC.DBF");
    ASSERT_EQ(::mkfifo((work_ / "SOLUC.DBF").c_str(), 0644), 0);
    const std::string problem =
        ": no es un archivo normal (es una tubería, un dispositivo o un socket)\n";
    const auto import = transhoralis({"import", "-w", work_.string(), document_.string()});
    EXPECT_EQ(import.exitCode, 1);
    EXPECT_EQ(import.err, (work_ / "SOLUC.DBF").string() + problem);
    EXPECT_FALSE(fs::exists(result_));
    const auto dump = transhoralis({"dump", "-w", work_.string(), "SOLUC"});
    EXPECT_EQ(dump.err, (work_ / "SOLUC.DBF").string() + problem);
}

TEST_F(School, AnEmptyFolderOrReportNameIsAUsageError) {
    // Taken as "no name given", an empty name made the runs use HTEMP.
    const Snapshot before = snapshotFolder(dir_.path());
    const std::map<std::string, std::string> env = {{"HTEMP", work_.string()}};
    const std::vector<std::vector<std::string>> runs = {
        {"export", "-w", "", document_.string()},
        {"export", "--work-folder=", document_.string()},
        {"import", "--work-folder", "", document_.string()},
        {"import", "--report", "", document_.string()},
        {"check", "-w", "", document_.string()},
        {"dump", "--work-folder=", "PROFT"},
    };
    for (const auto& args : runs) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        const auto run = transhoralis(args, env);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find("está vacío"), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(snapshotFolder(dir_.path()), before);
    }
}

TEST_F(School, AReportNeverOverwritesWhatTheImportReadsOrWrites) {
    writeFile(result_, "the earlier result");
    writeFile(work_ / "SOLUC.MDX", "the timetable program's index");
    fs::create_directory(dir_ / "otra");
    fs::create_symlink(document_, dir_ / "enlace.xml");
    fs::create_hard_link(work_ / "PROFT.DBF", dir_ / "profesores.dbf");
    const Snapshot before = snapshotFolder(dir_.path());
    struct Case {
        fs::path report;
        std::string named;
    };
    const std::vector<Case> cases = {
        {document_, "es el documento"},
        {dir_ / "otra" / ".." / "horario.xml", "es el documento"},
        {dir_ / "enlace.xml", "es el documento"},
        {result_, "es el documento de resultado"},
        {work_ / "PROFT.DBF", "es la tabla PROFT"},
        {dir_ / "profesores.dbf", "es la tabla PROFT"},
        {work_ / "SOLUC.DBF", "es la tabla SOLUC"},
        {work_ / "SOLUC.MDX", "es el índice de la tabla SOLUC"},
        {work_ / "ASIGT.MDX", "es el índice de la tabla ASIGT"},  // not there: still refused
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.report.string());
        const auto run = transhoralis(
            {"import", "-w", work_.string(), "--report", c.report.string(), document_.string()});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find(c.report.string() + " " + c.named), std::string::npos) << run.err;
        EXPECT_EQ(snapshotFolder(dir_.path()), before);
    }
}

TEST_F(School, AReportThatCannotBeWrittenLeavesTheEarlierResult) {
    writeFile(result_, "the earlier result");
    fs::create_directory(dir_ / "carpeta");
    const Snapshot before = snapshotFolder(dir_.path());
    for (const fs::path& report : {dir_ / "carpeta", dir_ / "no-existe" / "informe.txt"}) {
        SCOPED_TRACE(report.string());
        const auto run = transhoralis(
            {"import", "-w", work_.string(), "--report", report.string(), document_.string()});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err.rfind(report.string() + ": ", 0), 0u) << run.err;
        EXPECT_EQ(snapshotFolder(dir_.path()), before);
    }
}

TEST_F(School, LongDocumentNamesFitWithTheirResult) {
    // The result's name is "ResultadoHoralis" and the document's: up to 255 bytes in all.
    for (const std::size_t length : {224u, 239u}) {
        SCOPED_TRACE(length);
        const fs::path document = dir_ / (std::string(length - 4, 'd') + ".xml");
        fs::copy_file(kSample, document);
        const auto run = transhoralis({"import", "-w", work_.string(), document.string()});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(fs::exists(dir_ / ("ResultadoHoralis" + document.filename().string())));
        EXPECT_FALSE(anyOfOurs(snapshotFolder(dir_.path())));
    }
}

TEST_F(School, AFullDiskOnTheOutputIsAFailure) {
    const std::string toFullDisk = R"("$@" > /dev/full)";
    const std::vector<std::vector<std::string>> runs = {
        {"dump", "-w", work_.string(), "ASIGT"},
        {"check", "--format", "csv", document_.string()},
        {"check", document_.string()},
        {"export", "-w", work_.string(), document_.string()},
    };
    for (const auto& args : runs) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        const auto run = inShell(toFullDisk, args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, "transhoralis: no se puede escribir la salida: " +
                               std::string(std::strerror(ENOSPC)) + ".\n");
    }
}

TEST_F(School, AReaderThatStopsEarlyEndsTheRunQuietly) {
    // Enough records that the dump outruns the pipe: 250 subjects for each of 40 groups.
    std::string xml = "<SERVICIO><SALIDAS><listasal seq='MATERIAS'>";
    for (int i = 0; i < 250; ++i) {
        xml += "<listasal><salida>" + std::to_string(i) +
               "</salida><salida>Materia</salida>"
               "<salida>M" +
               std::to_string(i) +
               "</salida><salida>C1</salida>"
               "<salida>60</salida></listasal>";
    }
    xml +=
        "</listasal><listasal seq='CURSOS'><listasal><salida>C1</salida><salida>x</salida>"
        "<salida/><salida>ESO</salida><salida>1</salida></listasal></listasal>"
        "<listasal seq='GRUPOS'>";
    for (int g = 0; g < 40; ++g) {
        xml += "<listasal><salida>G" + std::to_string(g) + "</salida><salida>1" +
               std::to_string(g) + "</salida><salida>C1</salida></listasal>";
    }
    writeFile(dir_ / "grande.xml", xml + "</listasal></SALIDAS></SERVICIO>");
    ASSERT_EQ(
        transhoralis({"export", "-w", work_.string(), (dir_ / "grande.xml").string()}).exitCode, 0);
    const std::vector<std::string> dump = {"dump", "-w", work_.string(), "ASIGT"};
    ASSERT_GT(transhoralis(dump).out.size(), 256u * 1024);
    // Killed by SIGPIPE, or (when the signal is ignored) ended by the failed write: either way
    // without a word.
    for (const std::string script :
         {R"(set -o pipefail; "$@" | head -c 10 > /dev/null)",
          R"(set -o pipefail; trap '' PIPE; "$@" | head -c 10 > /dev/null)"}) {
        SCOPED_TRACE(script);
        const auto run = inShell(script, dump);
        EXPECT_NE(run.exitCode, 0);
        EXPECT_EQ(run.err, "");
    }
}

TEST_F(School, CheckWithoutATemporaryFolderSaysSoInSpanish) {
    const auto run = transhoralis({"check", "-w", work_.string(), document_.string()},
                                  {{"TMPDIR", "/no/existe"}});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "/no/existe: la carpeta temporal (variable de entorno TMPDIR) no existe.\n");
    EXPECT_EQ(run.out, "");
}

// ---------------------------------------------------------------------------------------
// Values with control characters.

TEST_F(School, ValuesFromADocumentCannotForgeOrClearTheCheckOutput) {
    // The minutes of a subject: a line feed with a made-up finding, and the one-byte control
    // that starts a terminal command (CSI; XML admits no ESC).
    writeFile(dir_ / "raro.xml",
              "<SERVICIO><SALIDAS><listasal seq='MATERIAS'><listasal><salida>1</salida>"
              "<salida>Lengua</salida><salida>LEN</salida><salida>C</salida>"
              "<salida>9&#10;AVISO PROFESORES fila 1: falso&#155;2J</salida></listasal>"
              "</listasal><listasal seq='CURSOS'><listasal><salida>C</salida><salida/>"
              "<salida/><salida>ESO</salida><salida>1</salida></listasal></listasal>"
              "<listasal seq='GRUPOS'><listasal><salida>G</salida><salida>1A</salida>"
              "<salida>C</salida></listasal></listasal></SALIDAS></SERVICIO>");
    const auto text = transhoralis({"check", (dir_ / "raro.xml").string()});
    EXPECT_EQ(text.exitCode, 1);
    const std::string value = "'9\\nAVISO PROFESORES fila 1: falso\\u009B2J'";
    const std::string stored = "'9\\nAVISO PROFESORES fila 1: falso?2J'";
    EXPECT_EQ(text.out, "AVISO MATERIAS fila 1: valor 4: " + value +
                            " tiene caracteres que Windows-1252 no tiene y se guarda como " +
                            stored + "\nERROR MATERIAS fila 1: valor 4 (minutos): " + value +
                            " no es un valor entero válido\n1 error, 1 aviso\n");
    const auto csv = transhoralis({"check", "--format", "csv", (dir_ / "raro.xml").string()});
    EXPECT_EQ(csv.out, "severidad,sección,fila,texto\r\nAVISO,MATERIAS,1,valor 4: " + value +
                           " tiene caracteres que Windows-1252 no tiene y se guarda como " +
                           stored + "\r\nERROR,MATERIAS,1,valor 4 (minutos): " + value +
                           " no es un valor entero válido\r\n");
}

TEST_F(School, AValueFromATableReachesTheTerminalEscaped) {
    // The first SOLUC record's DIA made to hold a terminal escape instead of a number.
    std::string soluc = readFile(work_ / "SOLUC.DBF");
    const auto u16 = [&](std::size_t at) {
        return static_cast<std::size_t>(static_cast<unsigned char>(soluc[at]) |
                                        static_cast<unsigned char>(soluc[at + 1]) << 8);
    };
    const std::size_t headerLength = u16(8);
    std::size_t offset = 1;
    for (std::size_t d = 32; soluc[d] != '\r'; d += 32) {
        const auto width = static_cast<std::size_t>(static_cast<unsigned char>(soluc[d + 16]));
        if (soluc.compare(d, 3, "DIA") == 0 && soluc[d + 3] == '\0') {
            const std::string value = "\x1b[2J";
            soluc.replace(headerLength + offset, width, value + std::string(width - 4, ' '));
            break;
        }
        offset += width;
    }
    writeFile(work_ / "SOLUC.DBF", soluc);
    const auto run = transhoralis({"import", "-w", work_.string(), document_.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("\\x1B[2J"), std::string::npos) << run.err;
}

// ---------------------------------------------------------------------------------------
// A killed export, as its plan and moves left the work folder.

TEST_F(School, EveryCommandFirstPutsAnInterruptedExportRight) {
    const Snapshot old = snapshotFolder(work_);
    const std::string oldTeachers = transhoralis({"dump", "-w", work_.string(), "PROFT"}).out;
    // New tables from another document, killed after the old tables went aside and three new
    // ones came in.
    const fs::path other = dir_ / "otra";
    fs::create_directory(other);
    writeFile(dir_ / "otra.xml",
              "<SERVICIO><SALIDAS><listasal seq='PROFESORES'><listasal><salida>1</salida>"
              "<salida>a</salida><salida>Uno</salida><salida>UNO</salida></listasal>"
              "</listasal></SALIDAS></SERVICIO>");
    ASSERT_EQ(transhoralis({"export", "-w", other.string(), (dir_ / "otra.xml").string()}).exitCode,
              0);
    const auto killAfterThreeMovesIn = [&] {
        fs::remove_all(work_);
        fs::create_directory(work_);
        for (const auto& [name, bytes] : old) writeFile(work_ / name, bytes);
        const fs::path staging = work_ / ".transhoralis-export-17";
        const fs::path backup = work_ / ".transhoralis-backup-18";
        fs::create_directory(staging);
        fs::create_directory(backup);
        std::string plan =
            "transhoralis table swap 1\nstaging .transhoralis-export-17\n"
            "backup .transhoralis-backup-18\n";
        for (std::size_t i = 0; i < kTables.size(); ++i) {
            const std::string file = std::string(kTables[i]) + ".DBF";
            plan += "table " + std::string(kTables[i]) + "\n";
            fs::rename(work_ / file, backup / file);
            fs::copy_file(other / file, (i < 3 ? work_ : staging) / file);
        }
        writeFile(work_ / ".transhoralis-journal", plan + "end\n");
    };
    const std::string undone =
        "Aviso: " + work_.string() +
        ": se ha deshecho una exportación que se interrumpió mientras sustituía las tablas: la "
        "carpeta vuelve a tener las tablas anteriores.\n";
    struct Case {
        std::vector<std::string> args;
        std::string out;
    };
    const std::vector<Case> cases = {
        {{"dump", "-w", work_.string(), "PROFT"}, oldTeachers},
        {{"import", "-w", work_.string(), document_.string()}, "Proceso finalizado\n"},
        {{"check", "-w", work_.string(), (dir_ / "otra.xml").string()}, "0 errores, 0 avisos\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        killAfterThreeMovesIn();
        const auto run = transhoralis(c.args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, undone);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(snapshotFolder(work_), old);
    }
    // An export, too, before it builds anything.
    killAfterThreeMovesIn();
    const auto run = transhoralis({"export", "-w", work_.string(), (dir_ / "otra.xml").string()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, undone);
    EXPECT_FALSE(anyOfOurs(snapshotFolder(work_)));
    EXPECT_EQ(readFile(work_ / "SOLUC.DBF"), old.at("SOLUC.DBF"));
}

}  // namespace
}  // namespace thq::test
