// The import's report: what the result document could not carry, with the SOLUC record.
#include <gtest/gtest.h>

#include "core/import_fixture.hpp"
#include "data/findings.hpp"
#include "import/import_run.hpp"
#include "test_support.hpp"

namespace thq::test {
namespace {

TEST(ImportReport, NamesEveryLookupThatFoundNothingAndEveryLostLesson) {
    TempDir dir;
    const auto work = dir / "HTEMP";
    std::filesystem::create_directory(work);
    writeFile(dir / "doc.xml", "<SERVICIO><SALIDAS/></SERVICIO>");
    WorkTables tables;
    tables.proft = {{{"ABREV", "ANA"}, {"X_EMPLEADO", "1"}},
                    {{"ABREV", "LUIS"}, {"X_EMPLEADO", "2"}}};
    tables.grupost = {{{"ABREV", "1A"}, {"CLAVE", "G1"}, {"CLAVECURSO", "C1"}}};
    tables.aulat = {{{"ABREV", "AU1"}, {"DEPCENTRO", "R1"}}};
    tables.asignomt = {{{"COD", "DOCE"}, {"CODTAREA", "156"}}};
    tables.asigt = {{{"CASIG", "MAT"}, {"CGRUP", "1A"}, {"CLAVE", "M1"}}};
    tables.diashorast = {{{"DIHO", "11"}, {"DIA", "1"}, {"CODDIHO", "T1"}}};
    tables.soluc = {
        lesson("ANA", "MAT", "1A", "AU1", "DOCE", "1", "1"),   // 1: everything found
        lesson("ANA", "FIS", "9Z", "AU9", "XXXX", "2", "7"),   // 2: nothing found
        lesson("ANA", "MAT", "1A", "", "", "1", "1"),          // 3: no room, no task: not misses
        lesson("PEPE", "MAT", "1A", "AU1", "DOCE", "1", "1"),  // 4: a teacher PROFT lacks
        lesson("PEPE", "MAT", "1A", "AU1", "DOCE", "0", "1"),  // 5: no day: in no result anyway
    };
    writeWorkTables(work, tables);
    Findings report;
    importer::runImport(dir / "doc.xml", work, &report);
    std::vector<std::string> lines;
    for (const auto& finding : report.list()) lines.push_back(formatLine(finding));
    EXPECT_EQ(
        lines,
        (std::vector<std::string>{
            "AVISO SOLUC registro 2: la actividad 'XXXX' no está en ASIGNOMT: X_ACTIVIDAD lleva el "
            "código tal cual",
            "AVISO SOLUC registro 2: el grupo '9Z' no está en GRUPOST: X_UNIDAD queda vacío",
            "AVISO SOLUC registro 2: la materia 'FIS' del grupo '9Z' no está en ASIGT ni en "
            "ASIGNOMT2: "
            "X_MATERIAOMC queda vacío",
            "AVISO SOLUC registro 2: el tramo '27' (día 2, hora 7) no está en DIASHORAST: "
            "N_DIASEMANA y "
            "X_TRAMO quedan vacíos",
            "AVISO SOLUC registro 2: el aula 'AU9' no está en AULAT: X_DEPCENTRO queda vacío",
            "AVISO PROFT registro 2: el profesor 'LUIS' no tiene lecciones",
            "AVISO SOLUC registro 4: el profesor 'PEPE' no está en PROFT: la lección no aparece en "
            "el "
            "resultado",
        }));

    // Without a report the run is the same and says nothing.
    EXPECT_EQ(importer::runImport(dir / "doc.xml", work).lessons, 3u);
}

}  // namespace
}  // namespace thq::test
