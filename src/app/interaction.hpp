#pragma once
// What a run needs from the user: a document from the chooser and the messages that end
// it. The window gets them from outside, so a run can also be driven without a person.
#include <filesystem>
#include <optional>
#include <string>

namespace thq::app {

class DocumentChooser {
public:
    virtual ~DocumentChooser() = default;
    // The confirmed file's full path; none when the user cancelled.
    virtual std::optional<std::filesystem::path> choose() = 0;
};

class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    // The message box: "Proceso finalizado", "No existe archivo". Returns when dismissed.
    virtual void showMessage(const std::string& text) = 0;
    // The error box; `text` is shown as given (the full-stop rule is the caller's), `detail`
    // is shown as detailed text when not empty.
    virtual void showError(const std::string& text, const std::string& detail) = 0;
};

}  // namespace thq::app
