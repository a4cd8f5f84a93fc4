#pragma once
// The platform's end of the HTML Help calls. On Windows: the entry "HtmlHelpA" of
// "HHCtrl.ocx", loaded at run time; without it every call silently does nothing. Elsewhere:
// the help file handed to the desktop's viewer.
#include <functional>
#include <memory>
#include <string>

#include "app/help_routing.hpp"

namespace thq::app::help {

// `reportProblem` receives what the user should be told when help cannot be shown (only the
// desktop backend uses it: the Windows control reports its own problems).
std::shared_ptr<HtmlHelpBackend> makePlatformHelpBackend(
    std::function<void(const std::string&)> reportProblem);

}  // namespace thq::app::help
