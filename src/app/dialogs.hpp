#pragma once
// The chooser and the message boxes on Qt Widgets.
#include <QString>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/form_view.hpp"

class QFileDialog;
class QMessageBox;
class QWidget;

namespace thq::app {

QString toQString(const std::filesystem::path& path);
std::filesystem::path toPath(const QString& text);

// `OpenDialogXML`: the file-open chooser shared by both runs.
class XmlFileChooser final : public DocumentChooser {
public:
    // `workFolder`: the chooser opens in its "quelva" subfolder.
    XmlFileChooser(QWidget* owner, const std::filesystem::path& workFolder);
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

// Qt's own texts (the chooser's labels and buttons, the error box's "Mostrar los detalles...")
// in Spanish, whatever the desktop's language: Qt's Spanish translations (qtbase_es.qm, from
// Qt's translations folder or a "translations" folder beside the program) installed in the
// application, and Spanish as the default locale. Once per application; false when the
// translations cannot be found (Qt's texts then stay in English).
bool installSpanishTranslations();

// The chooser and presenter the program uses.
std::unique_ptr<DocumentChooser> makeChooser(QWidget* owner,
                                             const std::filesystem::path& workFolder);
std::unique_ptr<MessagePresenter> makeMessagePresenter();

}  // namespace thq::app
