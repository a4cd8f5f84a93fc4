#pragma once
// Stand-ins for the user that a program driving the window (a test, a script) can choose
// through the environment, whatever the window system; each view reads the variables at
// start-up and, when one is set, uses these instead of its chooser or its boxes:
// - TRANSHORALIS_TEST_CHOOSER: the chooser is not shown; every run takes this path as the
//   confirmed file, or behaves as cancelled when the variable is set but empty.
// - TRANSHORALIS_TEST_MESSAGES: the message and error boxes are not shown; each message is
//   appended to this file as one line ("mensaje: ..." or "error: ...") and counts as
//   dismissed.
#include <filesystem>
#include <optional>
#include <string>

#include "app/form_view.hpp"

namespace thq::app {

inline constexpr const char* kChooserHookVariable = "TRANSHORALIS_TEST_CHOOSER";
inline constexpr const char* kMessagesHookVariable = "TRANSHORALIS_TEST_MESSAGES";

// A chooser answered in advance.
class PresetChooser final : public DocumentChooser {
public:
    explicit PresetChooser(std::optional<std::filesystem::path> answer)
        : answer_(std::move(answer)) {}
    std::optional<std::filesystem::path> choose() override { return answer_; }

private:
    std::optional<std::filesystem::path> answer_;
};

// Messages written to a file instead of shown.
class MessageLog final : public MessagePresenter {
public:
    explicit MessageLog(std::filesystem::path file) : file_(std::move(file)) {}
    void showMessage(const std::string& text) override;
    void showError(const std::string& text, const std::string& detail) override;

private:
    void append(const std::string& line);
    std::filesystem::path file_;
};

}  // namespace thq::app
