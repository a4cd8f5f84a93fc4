// The transhoralis command as a user runs it.
#include <gtest/gtest.h>

#include "test_support.hpp"

namespace thq::test {
namespace {

const std::string kSample = (sourceDir() / "samples" / "ies-sierra-de-la-vega.xml").string();

ProcessResult transhoralis(const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& env = {}) {
    std::vector<std::string> argv = {(binDir() / "transhoralis").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv, env);
}

TEST(Cli, UsageAndExitCodes) {
    TempDir dir;
    const auto help = transhoralis({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("transhoralis export"), std::string::npos);

    for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                  {"exportar"},
                                                                  {"export"},
                                                                  {"export", "-w"},
                                                                  {"export", "--bogus", "a.xml"},
                                                                  {"export", "a", "b"}}) {
        const auto result = transhoralis(args);
        EXPECT_EQ(result.exitCode, 2) << (args.empty() ? "" : args[0]);
        EXPECT_NE(result.err.find("Uso:"), std::string::npos);
    }

    for (const char* command : {"export", "import"}) {
        const auto missing =
            transhoralis({command, "-w", dir.path().string(), (dir / "no.xml").string()});
        EXPECT_EQ(missing.exitCode, 3);
        EXPECT_EQ(missing.err, "No existe archivo\n");
        EXPECT_EQ(missing.out, "");
    }
}

TEST(Cli, ErrorsGoToStderrAsTheErrorBoxShowsThem) {
    TempDir dir;
    writeFile(dir / "malo.xml",
              "<SERVICIO><SALIDAS><listasal seq='MATERIAS'><listasal><salida>M</salida>"
              "<salida>n</salida><salida>C</salida><salida>K</salida><salida>90.5</salida>"
              "</listasal></listasal><listasal seq='CURSOS'><listasal><salida>K</salida>"
              "<salida/></listasal></listasal><listasal seq='GRUPOS'><listasal><salida>G</salida>"
              "<salida>1A</salida><salida>K</salida></listasal></listasal></SALIDAS></SERVICIO>");
    const auto result =
        transhoralis({"export", "-w", dir.path().string(), (dir / "malo.xml").string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err.substr(0, result.err.find('\n')), "'90.5' no es un valor entero válido.");
    EXPECT_EQ(result.out, "");
    // Nothing was written: the run failed before the tables replaced anything.
    EXPECT_EQ(snapshotFolder(dir.path()).size(), 1u);
}

TEST(Cli, WorkFolderFromTheEnvironment) {
    TempDir dir;
    const auto result = transhoralis({"export", kSample}, {{"HTEMP", dir.path().string()}});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "Proceso finalizado\n");
    EXPECT_TRUE(std::filesystem::exists(dir / "ASIGT.DBF"));
}

// Every table of the sample school's export, read by dbfread, equals what `dump` shows.
TEST(Cli, ExportedTablesReadTheSameInAnIndependentReader) {
    TH_REQUIRE_PYTHON_READERS();
    TempDir dir;
    ASSERT_EQ(transhoralis({"export", "-w", dir.path().string(), kSample}).exitCode, 0);
    const std::string compare = R"(
import csv, io, sys, dbfread
path, dump = sys.argv[1], sys.argv[2]
def text(v):
    if v is None: return ''
    if isinstance(v, bool): return 'T' if v else 'F'
    if isinstance(v, float): return str(int(v)) if v == int(v) else repr(v)
    return str(v).rstrip(' ')
table = dbfread.DBF(path, encoding='cp1252', char_decode_errors='strict')
rows = [[f.name for f in table.fields]] + [[text(r[f.name]) for f in table.fields] for r in table]
shown = list(csv.reader(io.StringIO(dump, newline='')))
if rows != shown:
    print('dbfread:', rows[:3], '\ndump:', shown[:3]); sys.exit(1)
print(len(rows) - 1)
)";
    for (const char* table :
         {"ASIGNOMT", "ASIGNOMT2", "PROFT", "AULAT", "CURSOST", "GRUPOST", "ASIGT", "DIASHORAST"}) {
        const auto dump = transhoralis({"dump", "-w", dir.path().string(), table});
        ASSERT_EQ(dump.exitCode, 0) << dump.err;
        const auto check =
            runPython(compare, {(dir / (std::string(table) + ".DBF")).string(), dump.out});
        EXPECT_EQ(check.exitCode, 0) << table << "\n" << check.out << check.err;
        EXPECT_GT(std::stoi(check.out.empty() ? "0" : check.out), 0) << table;
    }
}

// Tables of other programs: texts and memos in their own code page, binary numbers, Visual
// FoxPro's bookkeeping field left out, and a type that cannot be shown refused before any
// output.
TEST(Cli, DumpShowsTablesOfOtherProgramsAsTheyHoldThem) {
    TH_REQUIRE_PYTHON_READERS();
    TempDir dir;
    const auto written = runPython(R"(
import sys, dbf
t = dbf.Table(sys.argv[1] + '/PROFT.DBF', 'ABREV C(4); NOMBRE C(20); NOTA M', dbf_type='db3',
              codepage='cp850')
t.open(dbf.READ_WRITE)
t.append(('NUÑE', 'José Ángel Núñez', 'Jefe de departamento, «lengua»'))
t.append(('MUÑO', 'Ana Belén Muñoz', ''))
t.close()
t = dbf.Table(sys.argv[1] + '/VFP.DBF', 'ABREV C(4); H B; P Y; N I; X N(3,0) NULL',
              dbf_type='vfp', codepage='cp1252')
t.open(dbf.READ_WRITE)
t.append(('A', 2.5, 10.25, -7, 1))
t.close()
t = dbf.Table(sys.argv[1] + '/OLE.DBF', 'ABREV C(4); FOTO G', dbf_type='vfp', codepage='cp1252')
t.open(dbf.READ_WRITE)
t.append(('A', b'ole'))
t.close()
)",
                                   {dir.path().string()});
    ASSERT_EQ(written.exitCode, 0) << written.err;

    const auto proft = transhoralis({"dump", "-w", dir.path().string(), "PROFT"});
    ASSERT_EQ(proft.exitCode, 0) << proft.err;
    // dbfread finds the code page from the table's header on its own.
    const auto independent = runPython(R"(
import csv, io, sys, dbfread
table = dbfread.DBF(sys.argv[1])
out = io.StringIO(newline='')
writer = csv.writer(out, lineterminator='\r\n')
writer.writerow(table.field_names)
for record in table:
    writer.writerow([record[name] or '' for name in table.field_names])
sys.stdout.write(out.getvalue())
)",
                                       {(dir / "PROFT.DBF").string()});
    ASSERT_EQ(independent.exitCode, 0) << independent.err;
    EXPECT_EQ(proft.out, independent.out);
    EXPECT_NE(proft.out.find("NUÑE,José Ángel Núñez,\"Jefe de departamento, «lengua»\""),
              std::string::npos)
        << proft.out;

    const auto vfp = transhoralis({"dump", (dir / "VFP.DBF").string()});
    ASSERT_EQ(vfp.exitCode, 0) << vfp.err;
    EXPECT_EQ(vfp.out, "ABREV,H,P,N,X\r\nA,2.5,10.25,-7,1\r\n");

    const auto ole = transhoralis({"dump", (dir / "OLE.DBF").string()});
    EXPECT_EQ(ole.exitCode, 1);
    EXPECT_EQ(ole.out, "");
    EXPECT_EQ(ole.err, (dir / "OLE.DBF").string() +
                           ": el campo «FOTO» es de tipo G (objeto OLE), que no se puede leer.\n");
}

// A work folder that is a file is named as what it is.
TEST(Cli, AWorkFolderThatIsAFileIsNamedAsSuch) {
    TempDir dir;
    writeFile(dir / "archivo", "x");
    writeFile(dir / "doc.xml", "<SERVICIO><SALIDAS/></SERVICIO>");
    const std::string file = (dir / "archivo").string();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"export", "-w", file, (dir / "doc.xml").string()},
          std::vector<std::string>{"import", "-w", file, (dir / "doc.xml").string()},
          std::vector<std::string>{"dump", "-w", file, "PROFT"}}) {
        const auto result = transhoralis(args);
        EXPECT_EQ(result.exitCode, 1) << args[0];
        EXPECT_EQ(result.err, file +
                                  ": es un archivo, no una carpeta: la carpeta de trabajo tiene "
                                  "que ser una carpeta.\n")
            << args[0];
    }
}

TEST(Cli, DumpNamesAMissingTable) {
    TempDir dir;
    const auto result = transhoralis({"dump", "-w", dir.path().string(), "PROFT"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("PROFT.DBF"), std::string::npos) << result.err;
}

TEST(Cli, ImportWritesTheResultBesideTheDocument) {
    TempDir dir;
    std::filesystem::create_directory(dir / "HTEMP");
    const auto document = dir / "horario.xml";
    std::filesystem::copy_file(kSample, document);
    const std::string work = (dir / "HTEMP").string();
    ASSERT_EQ(transhoralis({"export", "-w", work, document.string()}).exitCode, 0);
    const auto demo = runProcess({(binDir() / "horalia-demo-soluc").string(), "-w", work});
    ASSERT_EQ(demo.exitCode, 0) << demo.err;
    const auto result = transhoralis({"import", "--work-folder", work, document.string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "Proceso finalizado\n");
    EXPECT_TRUE(std::filesystem::exists(dir / "ResultadoHoralishorario.xml"));
}

TEST(Cli, CheckListsEveryProblemWithoutTouchingTheWorkFolder) {
    TempDir dir;
    const auto before = snapshotFolder(dir.path());
    const auto sample = transhoralis({"check", "-w", dir.path().string(), kSample});
    EXPECT_EQ(sample.exitCode, 4) << sample.err;
    EXPECT_NE(
        sample.out.find(
            "AVISO PROFESORES fila 2: código GARCES guardado como GAR1, GARC ya es de fila 1\n"),
        std::string::npos)
        << sample.out;
    EXPECT_EQ(sample.out.substr(sample.out.rfind('\n', sample.out.size() - 2) + 1),
              "0 errores, 27 avisos\n");
    EXPECT_EQ(snapshotFolder(dir.path()), before);

    const auto csv = transhoralis({"check", "--format", "csv", kSample});
    EXPECT_EQ(csv.exitCode, 4);
    EXPECT_EQ(csv.out.rfind("severidad,sección,fila,texto\r\nAVISO,MATERIAS,5,", 0), 0u) << csv.out;

    writeFile(dir / "bien.xml", "<SERVICIO><SALIDAS/></SERVICIO>");
    const auto clean = transhoralis({"check", (dir / "bien.xml").string()});
    EXPECT_EQ(clean.exitCode, 0);
    EXPECT_EQ(clean.out, "0 errores, 0 avisos\n");

    writeFile(dir / "malo.xml",
              "<SERVICIO><SALIDAS><listasal seq='INTERVALOS'><listasal>"
              "<salida dato='ORDEN'>1</salida><salida dato='INICIO'>8:00</salida>"
              "</listasal></listasal></SALIDAS></SERVICIO>");
    const auto bad = transhoralis({"check", (dir / "malo.xml").string()});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(
        bad.out,
        "ERROR INTERVALOS fila 1: dato FIN: '' no es un valor entero válido\n1 error, 0 avisos\n");
}

TEST(Cli, ExportErrorsSayWhere) {
    TempDir dir;
    writeFile(dir / "malo.xml",
              "<SERVICIO><SALIDAS><listasal seq='INTERVALOS'><listasal>"
              "<salida dato='ORDEN'>1</salida><salida dato='INICIO'>08:00:00</salida>"
              "<salida dato='FIN'>9:00</salida></listasal></listasal></SALIDAS></SERVICIO>");
    const auto result =
        transhoralis({"export", "-w", dir.path().string(), (dir / "malo.xml").string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(
        result.err,
        "'00:00' no es un valor entero válido.\nINTERVALOS, fila 1, dato INICIO: '08:00:00'\n");
}

TEST(Cli, ImportReportFile) {
    TempDir dir;
    std::filesystem::create_directory(dir / "HTEMP");
    const auto document = dir / "horario.xml";
    std::filesystem::copy_file(kSample, document);
    const std::string work = (dir / "HTEMP").string();
    ASSERT_EQ(transhoralis({"export", "-w", work, document.string()}).exitCode, 0);
    ASSERT_EQ(runProcess({(binDir() / "horalia-demo-soluc").string(), "-w", work}).exitCode, 0);
    const auto result = transhoralis(
        {"import", "-w", work, "--report", (dir / "informe.txt").string(), document.string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string report = readFile(dir / "informe.txt");
    // Every lesson of the demo timetable resolves; its one lesson without a day is no loss.
    EXPECT_EQ(report.substr(report.rfind('\n', report.size() - 2) + 1), "0 errores, 0 avisos\n")
        << report;
    EXPECT_EQ(transhoralis({"export", "--report", "x", document.string()}).exitCode, 2);
}

TEST(Cli, DocumentSizeLimitCanBeRaised) {
    TempDir dir;
    std::string big = readFile(kSample);
    big.insert(big.find('\n') + 1, "<!--" + std::string(2u << 20, ' ') + "-->\n");
    writeFile(dir / "grande.xml", big);
    const auto refused = transhoralis({"export", "-w", dir.path().string(), "--max-document-size",
                                       "1", (dir / "grande.xml").string()});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("--max-document-size"), std::string::npos) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "PROFT.DBF"));
    const auto raised = transhoralis({"export", "-w", dir.path().string(), "--max-document-size",
                                      "3", (dir / "grande.xml").string()});
    EXPECT_EQ(raised.exitCode, 0) << raised.err;
    EXPECT_EQ(transhoralis({"check", "--max-document-size", "0", kSample}).exitCode, 2);
}

}  // namespace
}  // namespace thq::test
