// horalia-demo-soluc [-w CARPETA]: writes a demo SOLUC.DBF from the work tables.
#include <iostream>
#include <optional>
#include <string>

#include "data/error.hpp"
#include "data/text.hpp"
#include "data/work_folder.hpp"
#include "demo_soluc/demo_solution.hpp"

int main(int argc, char** argv) {
    std::optional<std::filesystem::path> folder;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "-w" || arg == "--work-folder") && i + 1 < argc) {
            folder = argv[++i];
        } else {
            std::cerr << "Uso: horalia-demo-soluc [-w CARPETA]\n"
                         "Escribe en la carpeta de trabajo un SOLUC.DBF de demostración a partir\n"
                         "de las tablas que ha dejado la exportación.\n";
            return arg == "--help" ? 0 : 2;
        }
    }
    try {
        const auto workFolder = thq::data::resolveWorkFolder(folder);
        const auto solution = thq::demo::writeDemoSolution(workFolder);
        std::cout << "SOLUC.DBF: " << solution.lessons << " lecciones con día y hora, "
                  << solution.unscheduled << " sin día\n";
        return 0;
    } catch (const thq::Error& error) {
        std::cerr << thq::text::errorBoxText(error.what()) << '\n';
        return 1;
    }
}
