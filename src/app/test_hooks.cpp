#include "app/test_hooks.hpp"

#include <fstream>

namespace thq::app {

void MessageLog::append(const std::string& line) {
    std::ofstream out(file_, std::ios::binary | std::ios::app);
    out << line << '\n';
}

void MessageLog::showMessage(const std::string& text) { append("mensaje: " + text); }

void MessageLog::showError(const std::string& text, const std::string& detail) {
    append("error: " + text + (detail.empty() ? "" : " | " + detail));
}

}  // namespace thq::app
