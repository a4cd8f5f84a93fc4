#pragma once
// The desktop window's program: the help routing, the application, the window and its
// controller, run until the window closes.
#include <functional>
#include <memory>

#include "app/form_view.hpp"

namespace thq::app {

// What a program that drives the window (an end-to-end test) puts in the user's place.
struct ProgramStandIns {
    // Makes the chooser the runs use; empty: Qt's file chooser.
    std::function<std::unique_ptr<DocumentChooser>()> chooser;
};

// Runs the program with its command line; returns its exit code.
int runDesktopProgram(int argc, char* argv[], const ProgramStandIns& standIns = {});

}  // namespace thq::app
