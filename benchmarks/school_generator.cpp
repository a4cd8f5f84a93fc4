#include "school_generator.hpp"

#include <array>
#include <initializer_list>
#include <string_view>

namespace thq::bench {
namespace {

constexpr std::size_t kCoursesPerBlock = 60;
constexpr std::size_t kGroupsPerCourse = 4;
constexpr std::size_t kSubjectRowsPerCourse = 15;
constexpr std::size_t kTeachersPerBlock = 250;
constexpr std::size_t kRoomsPerBlock = 120;
constexpr std::size_t kClassroomsPerBlock =
    60;  // the others are dedicated rooms (labs, workshops...)

struct Named {
    std::string_view code;
    std::string_view name;
};

// 24 subject families, five levels each: 120 distinct long codes (MATE1..MATE5, LENG1...).
constexpr std::array<Named, 24> kSubjects = {{
    {"MATE", "Matemáticas"},
    {"LENG", "Lengua Castellana y Literatura"},
    {"INGL", "Inglés"},
    {"FRAN", "Francés"},
    {"ALEM", "Alemán"},
    {"BIOL", "Biología y Geología"},
    {"GEOG", "Geografía e Historia"},
    {"HIST", "Historia del Arte"},
    {"FISI", "Física"},
    {"QUIM", "Química"},
    {"TECN", "Tecnología"},
    {"MUSI", "Música"},
    {"PLAS", "Educación Plástica y Visual"},
    {"EDFI", "Educación Física"},
    {"FILO", "Filosofía"},
    {"LATI", "Latín"},
    {"GRIE", "Griego"},
    {"ECON", "Economía"},
    {"DIBU", "Dibujo Técnico"},
    {"RELI", "Religión"},
    {"VALO", "Valores Éticos"},
    {"INFO", "Informática"},
    {"GUAR", "Guardia de recreo"},
    {"BIBL", "Biblioteca"},
}};
constexpr std::size_t kLevelsPerSubject = 5;
constexpr std::size_t kSubjectsPerBlock = kSubjects.size() * kLevelsPerSubject;
constexpr std::array<std::string_view, kLevelsPerSubject> kLevelNames = {"I", "II", "III", "IV",
                                                                         "V"};

struct Task {
    std::string_view code;
    std::string_view name;
    std::string_view mark;
};

// The first three are the tasks the assignment table looks up (156, 281, 286).
constexpr std::array<Task, 40> kTasks = {{
    {"DOCE", "Docencia", "S"},
    {"GUAR", "Guardia", "N"},
    {"BIBLIO", "Biblioteca", "N"},
    {"REUNION", "Reunión de departamento", "N"},
    {"TUTP", "Tutoría de padres", "S"},
    {"JDEP", "Jefatura de departamento", "N"},
    {"COORD", "Coordinación pedagógica", "N"},
    {"CTIC", "Coordinación TIC", "N"},
    {"BILING", "Coordinación bilingüe", "N"},
    {"ACTEX", "Actividades extraescolares", "N"},
    {"ORIENT", "Orientación", "S"},
    {"PROYEC", "Proyectos", "N"},
    {"MANTEN", "Mantenimiento de laboratorio", "N"},
    {"FORMAC", "Formación del profesorado", "N"},
    {"ATPAD", "Atención a familias", "N"},
    {"DIRECC", "Dirección", "N"},
    {"JESTUD", "Jefatura de estudios", "N"},
    {"SECRET", "Secretaría", "N"},
    {"VICEDI", "Vicedirección", "N"},
    {"CONVIV", "Convivencia", "N"},
    {"IGUALD", "Igualdad", "N"},
    {"SALUD", "Hábitos saludables", "N"},
    {"PLANLE", "Plan lector", "N"},
    {"ERASMU", "Proyecto europeo", "N"},
    {"FCT", "Seguimiento de prácticas", "S"},
    {"CONSEJ", "Consejo escolar", "N"},
    {"EVALUA", "Sesiones de evaluación", "N"},
    {"REFUER", "Refuerzo", "S"},
    {"APOYO", "Apoyo", "S"},
    {"DESDOB", "Desdoble", "S"},
    {"PTERAP", "Pedagogía terapéutica", "S"},
    {"AUDLEN", "Audición y lenguaje", "S"},
    {"MEDIAC", "Mediación", "N"},
    {"ACOGID", "Aula de acogida", "S"},
    {"LECTUR", "Lectura", "N"},
    {"GUARB", "Guardia de biblioteca", "N"},
    {"GUARR", "Guardia de recreo", "N"},
    {"TUTGRU", "Tutoría de grupo", "S"},
    {"ATENCI", "Atención educativa", "S"},
    {"REDUCC", "Reducción horaria", "N"},
}};

// Course families (level text, family); each has a first and a second year.
constexpr std::array<Named, 30> kCourseFamilies = {{
    {"ESO", "ESO"}, {"ESOB", "ESO"}, {"BACH", "BAC"}, {"BACA", "BAC"}, {"FPB", "FP"},
    {"SMR", "FP"},  {"ASIR", "FP"},  {"DAW", "FP"},   {"DAM", "FP"},   {"GAD", "FP"},
    {"AFI", "FP"},  {"ACT", "FP"},   {"COM", "FP"},   {"MKT", "FP"},   {"ELE", "FP"},
    {"STI", "FP"},  {"AUT", "FP"},   {"IEA", "FP"},   {"MEC", "FP"},   {"PPM", "FP"},
    {"CAR", "FP"},  {"EVA", "FP"},   {"COC", "FP"},   {"DIR", "FP"},   {"SAN", "FP"},
    {"FAR", "FP"},  {"EI", "FP"},    {"IS", "FP"},    {"APSD", "FP"},  {"", "FP"},
}};
static_assert(kCourseFamilies.size() * 2 == kCoursesPerBlock);

// Surnames (code base, written form); many share their first four letters.
constexpr std::array<Named, 100> kSurnames = {{
    {"GARCIA", "García"},       {"GARCES", "Garcés"},
    {"GARRIDO", "Garrido"},     {"GARZON", "Garzón"},
    {"MARTIN", "Martín"},       {"MARTINEZ", "Martínez"},
    {"MARTOS", "Martos"},       {"MARQUEZ", "Márquez"},
    {"FERNANDEZ", "Fernández"}, {"FERRER", "Ferrer"},
    {"FERRERO", "Ferrero"},     {"GONZALEZ", "González"},
    {"GONZALO", "Gonzalo"},     {"RODRIGUEZ", "Rodríguez"},
    {"RODRIGO", "Rodrigo"},     {"SANCHEZ", "Sánchez"},
    {"SANCHO", "Sancho"},       {"SANTOS", "Santos"},
    {"SANTANA", "Santana"},     {"LOPEZ", "López"},
    {"LOPERA", "Lopera"},       {"PEREZ", "Pérez"},
    {"PEREIRA", "Pereira"},     {"PERALTA", "Peralta"},
    {"GOMEZ", "Gómez"},         {"GOMARIZ", "Gomariz"},
    {"JIMENEZ", "Jiménez"},     {"JIMENO", "Jimeno"},
    {"MORENO", "Moreno"},       {"MORALES", "Morales"},
    {"MORAN", "Morán"},         {"ALONSO", "Alonso"},
    {"ALVAREZ", "Álvarez"},     {"ALVARADO", "Alvarado"},
    {"ROMERO", "Romero"},       {"ROMAN", "Román"},
    {"NAVARRO", "Navarro"},     {"NAVAS", "Navas"},
    {"TORRES", "Torres"},       {"TORRENTE", "Torrente"},
    {"DOMINGUEZ", "Domínguez"}, {"DOMINGO", "Domingo"},
    {"VAZQUEZ", "Vázquez"},     {"RAMOS", "Ramos"},
    {"RAMIREZ", "Ramírez"},     {"GIL", "Gil"},
    {"GIMENEZ", "Giménez"},     {"GIMENO", "Gimeno"},
    {"SERRANO", "Serrano"},     {"SERRA", "Serra"},
    {"BLANCO", "Blanco"},       {"BLANCH", "Blanch"},
    {"MOLINA", "Molina"},       {"MOLINERO", "Molinero"},
    {"CASTRO", "Castro"},       {"CASTILLO", "Castillo"},
    {"CASTAÑO", "Castaño"},     {"ORTEGA", "Ortega"},
    {"ORTIZ", "Ortiz"},         {"RUBIO", "Rubio"},
    {"RUBIALES", "Rubiales"},   {"MARIN", "Marín"},
    {"MARIÑO", "Mariño"},       {"SANZ", "Sanz"},
    {"NUÑEZ", "Núñez"},         {"IGLESIAS", "Iglesias"},
    {"MEDINA", "Medina"},       {"MEDIAVILLA", "Mediavilla"},
    {"CORTES", "Cortés"},       {"CORTINA", "Cortina"},
    {"GUERRERO", "Guerrero"},   {"GUERRA", "Guerra"},
    {"LOZANO", "Lozano"},       {"CANO", "Cano"},
    {"PRIETO", "Prieto"},       {"PRIEGO", "Priego"},
    {"MENDEZ", "Méndez"},       {"MENDOZA", "Mendoza"},
    {"CALVO", "Calvo"},         {"CALVENTE", "Calvente"},
    {"VIDAL", "Vidal"},         {"CABRERA", "Cabrera"},
    {"CABELLO", "Cabello"},     {"CAMPOS", "Campos"},
    {"CAMPILLO", "Campillo"},   {"VEGA", "Vega"},
    {"FUENTES", "Fuentes"},     {"CARRASCO", "Carrasco"},
    {"CARRERA", "Carrera"},     {"DIEZ", "Díez"},
    {"DIAZ", "Díaz"},           {"REYES", "Reyes"},
    {"O'NEILL", "O'Neill"},     {"PASCUAL", "Pascual"},
    {"HERRERO", "Herrero"},     {"HERRERA", "Herrera"},
    {"MONTERO", "Montero"},     {"MONTES", "Montes"},
    {"LORENZO", "Lorenzo"},     {"HIDALGO", "Hidalgo"},
}};

constexpr std::array<std::string_view, 24> kFirstNames = {
    "María José", "Antonio", "Lucía", "José Ángel", "Carmen", "Jesús",  "Ana Belén", "Raúl",
    "Inés",       "Manuel",  "Pilar", "Francisco",  "Isabel", "Javier", "Rocío",     "Sergio",
    "Elena",      "Pablo",   "Marta", "Íñigo",      "Laura",  "Óscar",  "Nuria",     "Andrés"};

// Dedicated rooms (code text stem, name); their first letters differ from each other and from
// the classrooms' "AULA".
constexpr std::array<Named, 12> kDedicatedRooms = {{
    {"LAB", "Laboratorio"},
    {"TALLER", "Taller"},
    {"INFO", "Aula de Informática"},
    {"GIM", "Gimnasio"},
    {"MUSICA", "Aula de Música"},
    {"DIBUJO", "Aula de Dibujo"},
    {"PLASTICA", "Aula de Plástica"},
    {"SUM", "Salón de usos múltiples"},
    {"BIBLIO", "Biblioteca"},
    {"CIENCIAS", "Aula de Ciencias"},
    {"ESTUDIO", "Sala de estudio"},
    {"VIDEO", "Sala de vídeo"},
}};

struct Interval {
    std::string_view code;
    std::string_view name;
    int minutes;
};

constexpr std::array<Interval, 14> kIntervals = {{
    {"T1", "1ª hora", 55},
    {"T2", "2ª hora", 55},
    {"T3", "3ª hora", 55},
    {"REC1", "Recreo", 30},
    {"T4", "4ª hora", 55},
    {"T5", "5ª hora", 55},
    {"T6", "6ª hora", 55},
    {"COM", "Comida", 60},
    {"T7", "7ª hora", 55},
    {"T8", "8ª hora", 55},
    {"T9", "9ª hora", 55},
    {"REC2", "Recreo de tarde", 20},
    {"T10", "10ª hora", 55},
    {"T11", "11ª hora", 55},
}};

// Joins texts (also keeps GCC 12 from a false -Wrestrict on literal + std::string).
std::string join(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (auto part : parts) out += part;
    return out;
}

std::string numbered(std::string_view prefix, std::size_t number) {
    return join({prefix, std::to_string(number)});
}

// The two-letter tag of block b (none for the first block): AA, BA, CA... the first letter
// changing fastest, a third letter from block 677 on.
std::string blockTag(std::size_t block) {
    if (block == 0) return {};
    std::size_t n = block - 1;
    std::string tag;
    tag += static_cast<char>('A' + n % 26);
    n /= 26;
    tag += static_cast<char>('A' + n % 26);
    n /= 26;
    while (n > 0) {
        tag += static_cast<char>('A' + n % 26);
        n /= 26;
    }
    return tag;
}

// The suffix a block's long codes carry (none for the first block).
std::string blockSuffix(std::size_t block) {
    return block == 0 ? std::string() : std::to_string(block);
}

std::string clockTime(int minutesOfDay) {
    return join({std::to_string(minutesOfDay / 60), minutesOfDay % 60 < 10 ? ":0" : ":",
                 std::to_string(minutesOfDay % 60)});
}

class XmlWriter {
public:
    explicit XmlWriter(std::size_t expectedBytes) { out_.reserve(expectedBytes); }

    void raw(std::string_view text) { out_ += text; }

    void openSection(std::string_view name) {
        out_ += "    <listasal seq=\"";
        out_ += name;
        out_ += "\">\n";
    }
    void closeSection() { out_ += "    </listasal>\n"; }

    void row(std::initializer_list<std::string_view> values) {
        out_ += "      <listasal>";
        for (auto value : values) {
            out_ += "<salida>";
            escaped(value);
            out_ += "</salida>";
        }
        out_ += "</listasal>\n";
    }

    // A row whose values are named by their `dato` attribute.
    void namedRow(std::initializer_list<std::pair<std::string_view, std::string_view>> values) {
        out_ += "      <listasal>";
        for (const auto& [dato, value] : values) {
            out_ += "<salida dato=\"";
            out_ += dato;
            out_ += "\">";
            escaped(value);
            out_ += "</salida>";
        }
        out_ += "</listasal>\n";
    }

    std::string take() { return std::move(out_); }

private:
    void escaped(std::string_view text) {
        for (char c : text) {
            switch (c) {
                case '&':
                    out_ += "&amp;";
                    break;
                case '<':
                    out_ += "&lt;";
                    break;
                case '>':
                    out_ += "&gt;";
                    break;
                default:
                    out_ += c;
            }
        }
    }

    std::string out_;
};

std::string courseKey(std::size_t block, std::size_t course) {
    return numbered("C", block * kCoursesPerBlock + course + 1);
}

void writeCourses(XmlWriter& xml, std::size_t scale) {
    xml.openSection("CURSOS");
    for (std::size_t block = 0; block < scale; ++block) {
        for (std::size_t course = 0; course < kCoursesPerBlock; ++course) {
            const auto& family = kCourseFamilies[course / 2];
            const std::string year = std::to_string(course % 2 + 1);
            xml.row({courseKey(block, course), year, family.name, family.code, join({year, "º"})});
        }
    }
    xml.closeSection();
}

void writeGroups(XmlWriter& xml, std::size_t scale) {
    xml.openSection("GRUPOS");
    std::size_t number = 0;
    for (std::size_t block = 0; block < scale; ++block) {
        const std::string tag = blockTag(block);
        for (std::size_t course = 0; course < kCoursesPerBlock; ++course) {
            const auto& family = kCourseFamilies[course / 2];
            const std::string stem = family.code.empty() ? "PFP" : std::string(family.code);
            for (std::size_t g = 0; g < kGroupsPerCourse; ++g) {
                const std::string name =
                    tag + std::to_string(course % 2 + 1) + stem + static_cast<char>('A' + g);
                xml.row({numbered("G", ++number), name, courseKey(block, course)});
            }
        }
    }
    xml.closeSection();
}

// Minutes a week of subject row i of a course: mostly whole hours, some odd, some missing,
// now and then more than thirteen hours (a vocational module).
std::string_view minutesFor(std::size_t course, std::size_t row) {
    constexpr std::array<std::string_view, 8> kMinutes = {"240", "180", "120", "180",
                                                          "240", "55",  "30",  ""};
    if ((course * kSubjectRowsPerCourse + row) % 37 == 0) return "960";
    return kMinutes[(course + row) % kMinutes.size()];
}

void writeSubjects(XmlWriter& xml, std::size_t scale) {
    xml.openSection("MATERIAS");
    std::size_t number = 0;
    for (std::size_t block = 0; block < scale; ++block) {
        const std::string suffix = blockSuffix(block);
        for (std::size_t course = 0; course < kCoursesPerBlock; ++course) {
            for (std::size_t row = 0; row < kSubjectRowsPerCourse; ++row) {
                // Fifteen distinct subjects of the block's 120 for each course.
                const std::size_t subject = (course * 7 + row * 8) % kSubjectsPerBlock;
                const auto& family = kSubjects[subject / kLevelsPerSubject];
                const std::size_t level = subject % kLevelsPerSubject;
                std::string longCode(family.code);
                longCode += static_cast<char>('1' + level);
                if (!suffix.empty()) longCode += join({"_", suffix});
                const std::string name = join({family.name, " ", kLevelNames[level]});
                xml.row({numbered("M", ++number), name, longCode, courseKey(block, course),
                         minutesFor(course, row)});
            }
        }
    }
    xml.closeSection();
}

void writeTasks(XmlWriter& xml, std::size_t scale) {
    xml.openSection("TAREAS");
    for (std::size_t block = 0; block < scale; ++block) {
        for (std::size_t i = 0; i < kTasks.size(); ++i) {
            const auto& task = kTasks[i];
            std::string id;
            if (block == 0) {
                constexpr std::array<std::string_view, 3> kLookedUp = {"156", "281", "286"};
                id = i < kLookedUp.size() ? std::string(kLookedUp[i]) : std::to_string(300 + i);
            } else {
                id = std::to_string(1000 + (block - 1) * kTasks.size() + i);
            }
            std::string longCode(task.code);
            if (block > 0) longCode = longCode.substr(0, 6) + blockSuffix(block);
            xml.row({id, task.name, longCode, task.mark});
        }
    }
    xml.closeSection();
}

void writeTeachers(XmlWriter& xml, std::size_t scale) {
    xml.openSection("PROFESORES");
    std::size_t number = 0;
    for (std::size_t block = 0; block < scale; ++block) {
        const std::string tag = blockTag(block);
        for (std::size_t t = 0; t < kTeachersPerBlock; ++t) {
            const std::size_t global = number++;
            const auto& first = kSurnames[(t * 37) % kSurnames.size()];
            const auto& second = kSurnames[(t * 53 + 11) % kSurnames.size()];
            const auto& given = kFirstNames[(t * 7 + block) % kFirstNames.size()];
            const std::string name = join({given, " ", first.name, " ", second.name});
            const std::string since = numbered("01/09/", 2000 + global % 25);
            xml.row({std::to_string(10001 + global), since, name, join({tag, first.code})});
        }
    }
    xml.closeSection();
}

void writeRooms(XmlWriter& xml, std::size_t scale) {
    xml.openSection("AULAS");
    std::size_t number = 0;
    std::size_t classrooms = 0;
    std::array<std::size_t, kDedicatedRooms.size()> dedicated{};
    for (std::size_t block = 0; block < scale; ++block) {
        for (std::size_t r = 0; r < kRoomsPerBlock; ++r) {
            const std::string id = numbered("R", ++number);
            if (r < kClassroomsPerBlock) {
                const std::string n = std::to_string(++classrooms);
                xml.row({id, join({"Aula ", n}), join({"AULA ", n})});
            } else {
                const std::size_t kind = (r - kClassroomsPerBlock) % kDedicatedRooms.size();
                const std::string n = std::to_string(++dedicated[kind]);
                xml.row({id, join({kDedicatedRooms[kind].name, " ", n}),
                         join({kDedicatedRooms[kind].code, " ", n})});
            }
        }
    }
    xml.closeSection();
}

void writeIntervals(XmlWriter& xml) {
    xml.openSection("INTERVALOS");
    int start = 8 * 60;
    int order = 0;
    for (const auto& interval : kIntervals) {
        const int end = start + interval.minutes;
        xml.namedRow({{"CODIGO_QUELVA", interval.code},
                      {"NOMBRE", interval.name},
                      {"INICIO", clockTime(start)},
                      {"FIN", clockTime(end)},
                      {"ORDEN", std::to_string(++order)}});
        start = end;
    }
    xml.closeSection();
}

}  // namespace

SchoolCounts schoolCountsAt(std::size_t scale) {
    SchoolCounts counts;
    counts.courses = kCoursesPerBlock * scale;
    counts.groups = counts.courses * kGroupsPerCourse;
    counts.subjectRows = counts.courses * kSubjectRowsPerCourse;
    counts.distinctSubjects = kSubjectsPerBlock * scale;
    counts.tasks = kTasks.size() * scale;
    counts.teachers = kTeachersPerBlock * scale;
    counts.rooms = kRoomsPerBlock * scale;
    counts.intervals = kIntervals.size();
    return counts;
}

std::string generateSchoolDocument(std::size_t scale) {
    if (scale == 0) scale = 1;
    XmlWriter xml(scale * 220'000 + 8'000);
    xml.raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    xml.raw("<SERVICIO version=\"2.1\">\n");
    xml.raw("  <PARAMETROS>\n");
    xml.raw(
        "    <CENTRO codigo=\"99000042\">IES Benchmark de la Vega (datos ficticios)</CENTRO>\n");
    xml.raw("    <CURSO_ACADEMICO>2026/2027</CURSO_ACADEMICO>\n");
    xml.raw("  </PARAMETROS>\n");
    xml.raw("  <SALIDAS>\n");
    writeCourses(xml, scale);
    writeGroups(xml, scale);
    writeSubjects(xml, scale);
    writeTasks(xml, scale);
    writeTeachers(xml, scale);
    writeRooms(xml, scale);
    writeIntervals(xml);
    xml.raw("  </SALIDAS>\n");
    xml.raw("</SERVICIO>\n");
    return xml.take();
}

}  // namespace thq::bench
