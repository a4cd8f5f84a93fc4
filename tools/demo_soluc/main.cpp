// horalia-demo-soluc [-w CARPETA]: writes a demo SOLUC.DBF from the work tables.
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "data/error.hpp"
#include "data/paths.hpp"
#include "data/platform_process.hpp"
#include "data/text.hpp"
#include "data/work_folder.hpp"
#include "demo_soluc/demo_solution.hpp"

int main(int argc, char** argv) {
    const thq::platform::ConsoleOutput console;
    const std::vector<std::string> args = thq::platform::programArguments(argc, argv);
    std::optional<std::filesystem::path> folder;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if ((arg == "-w" || arg == "--work-folder") && i + 1 < args.size()) {
            folder = thq::data::pathFromUtf8(args[++i]);
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
