// TransHoralisQuelva: the desktop window over the export and import runs.
//
// Started without parameters it is a stand-alone window. Started by the timetable program
// with the direction and the host window's handle ("exportar 1A2B"), it shows itself inside
// the host, runs at once, closes when done and leaves the status in Horalia.ini beside the
// executable.
#include "app/desktop_program.hpp"

int main(int argc, char* argv[]) { return thq::app::runDesktopProgram(argc, argv); }
