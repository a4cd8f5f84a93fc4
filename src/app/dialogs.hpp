#pragma once
// The chooser and the message boxes on Qt Widgets, and the test hooks that stand in for
// them when a run is driven by a program.
//
// Test hooks (environment variables read at start-up, never set in normal use):
// - TRANSHORALIS_TEST_CHOOSER: the chooser is not shown; every run takes this path as the
//   confirmed file, or behaves as cancelled when the variable is set but empty.
// - TRANSHORALIS_TEST_MESSAGES: the message and error boxes are not shown; each message is
//   appended to this file as one line ("mensaje: ..." or "error: ...") and counts as
//   dismissed.
#include <QString>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/interaction.hpp"

class QFileDialog;
class QMessageBox;
class QWidget;

namespace thq::app {

inline constexpr const char* kApplicationTitle = "TransHoralisQuelva";
inline constexpr const char* kChooserHookVariable = "TRANSHORALIS_TEST_CHOOSER";
inline constexpr const char* kMessagesHookVariable = "TRANSHORALIS_TEST_MESSAGES";

QString toQString(const std::filesystem::path& path);
std::filesystem::path toPath(const QString& text);

// `OpenDialogXML`: the file-open chooser shared by both runs.
class XmlFileChooser final : public DocumentChooser {
public:
    // `workFolder`: the chooser opens in its "quelva" subfolder.
    XmlFileChooser(QWidget* owner, std::filesystem::path workFolder);
    std::optional<std::filesystem::path> choose() override;

    // Applies the chooser's settings (title, filter, default extension, folder, the last
    // confirmed file) to a dialog.
    void configure(QFileDialog& dialog) const;
    const QString& lastConfirmed() const { return lastConfirmed_; }

private:
    QWidget* owner_;
    std::filesystem::path initialFolder_;
    QString lastConfirmed_;
};

// The message box and the error box, captioned with the application title, one button
// "Aceptar" that Enter and Escape both press.
class MessageBoxPresenter final : public MessagePresenter {
public:
    void showMessage(const std::string& text) override;
    void showError(const std::string& text, const std::string& detail) override;

    // The boxes as shown (for inspection); modal, centred, no owner.
    static std::unique_ptr<QMessageBox> makeMessageBox(const std::string& text);
    static std::unique_ptr<QMessageBox> makeErrorBox(const std::string& text,
                                                     const std::string& detail);
};

// Test hook: a chooser answered in advance.
class PresetChooser final : public DocumentChooser {
public:
    explicit PresetChooser(std::optional<std::filesystem::path> answer)
        : answer_(std::move(answer)) {}
    std::optional<std::filesystem::path> choose() override { return answer_; }

private:
    std::optional<std::filesystem::path> answer_;
};

// Test hook: messages written to a file instead of shown.
class MessageLog final : public MessagePresenter {
public:
    explicit MessageLog(std::filesystem::path file) : file_(std::move(file)) {}
    void showMessage(const std::string& text) override;
    void showError(const std::string& text, const std::string& detail) override;

private:
    void append(const std::string& line);
    std::filesystem::path file_;
};

// The chooser and presenter the process uses: the hooks when their variables are set.
std::unique_ptr<DocumentChooser> makeChooser(QWidget* owner,
                                             const std::filesystem::path& workFolder);
std::unique_ptr<MessagePresenter> makeMessagePresenter();

}  // namespace thq::app
