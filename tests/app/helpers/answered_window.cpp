// The desktop program with its chooser answered in advance, for the end-to-end test:
//   th_answered_window DOCUMENT [PARAMETERS...]
// Every run takes DOCUMENT as the confirmed file (an empty DOCUMENT: the chooser is
// cancelled); the parameters are the program's own. The message and error boxes are the
// real ones.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/desktop_program.hpp"
#include "app/form_view.hpp"

namespace {

class PresetChooser final : public thq::app::DocumentChooser {
public:
    explicit PresetChooser(std::optional<std::filesystem::path> answer)
        : answer_(std::move(answer)) {}
    std::optional<std::filesystem::path> choose() override { return answer_; }

private:
    std::optional<std::filesystem::path> answer_;
};

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 2) return 2;
    const std::string document = argv[1];
    std::vector<char*> arguments{argv[0]};
    for (int i = 2; i < argc; ++i) arguments.push_back(argv[i]);
    arguments.push_back(nullptr);
    int count = argc - 1;

    thq::app::ProgramStandIns standIns;
    standIns.chooser = [document]() -> std::unique_ptr<thq::app::DocumentChooser> {
        if (document.empty()) return std::make_unique<PresetChooser>(std::nullopt);
        return std::make_unique<PresetChooser>(std::filesystem::path(document));
    };
    return thq::app::runDesktopProgram(count, arguments.data(), standIns);
}
