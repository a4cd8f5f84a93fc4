#include "app/dialogs.hpp"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace thq::app {

QString toQString(const std::filesystem::path& path) {
    const auto u8 = path.u8string();
    return QString::fromUtf8(reinterpret_cast<const char*>(u8.data()),
                             static_cast<qsizetype>(u8.size()));
}

std::filesystem::path toPath(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// --- OpenDialogXML ----------------------------------------------------------------------

XmlFileChooser::XmlFileChooser(QWidget* owner, std::filesystem::path workFolder)
    : owner_(owner), initialFolder_(std::move(workFolder) / "quelva") {}

void XmlFileChooser::configure(QFileDialog& dialog) const {
    dialog.setWindowTitle(QStringLiteral("Archivo XML"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // One file at a time; a typed name need not exist (the run tests that itself).
    dialog.setFileMode(QFileDialog::AnyFile);
    // One filter entry whose caption and mask are both "*.xml".
    dialog.setNameFilter(QStringLiteral("*.xml (*.xml)"));
    dialog.setDefaultSuffix(QStringLiteral("xml"));
    dialog.setDirectory(toQString(initialFolder_));
    dialog.setSizeGripEnabled(true);
    if (!lastConfirmed_.isEmpty()) dialog.selectFile(lastConfirmed_);
}

std::optional<std::filesystem::path> XmlFileChooser::choose() {
    QFileDialog dialog(owner_);
    dialog.setObjectName(QStringLiteral("OpenDialogXML"));
    configure(dialog);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    lastConfirmed_ = files.front();
    return toPath(lastConfirmed_);
}

// --- Message and error boxes ------------------------------------------------------------

namespace {

std::unique_ptr<QMessageBox> makeBox(QMessageBox::Icon icon, const std::string& text) {
    auto box = std::make_unique<QMessageBox>();
    box->setIcon(icon);
    box->setWindowTitle(QString::fromUtf8(kApplicationTitle));
    box->setText(QString::fromStdString(text));
    box->setWindowModality(Qt::ApplicationModal);
    QPushButton* accept = box->addButton(QStringLiteral("Aceptar"), QMessageBox::AcceptRole);
    box->setDefaultButton(accept);
    box->setEscapeButton(accept);
    return box;
}

}  // namespace

std::unique_ptr<QMessageBox> MessageBoxPresenter::makeMessageBox(const std::string& text) {
    return makeBox(QMessageBox::NoIcon, text);
}

std::unique_ptr<QMessageBox> MessageBoxPresenter::makeErrorBox(const std::string& text,
                                                               const std::string& detail) {
    auto box = makeBox(QMessageBox::Critical, text);
    if (!detail.empty()) box->setDetailedText(QString::fromStdString(detail));
    return box;
}

void MessageBoxPresenter::showMessage(const std::string& text) { makeMessageBox(text)->exec(); }

void MessageBoxPresenter::showError(const std::string& text, const std::string& detail) {
    makeErrorBox(text, detail)->exec();
}

// --- The chooser and presenter the process uses -----------------------------------------

std::unique_ptr<DocumentChooser> makeChooser(QWidget* owner,
                                             const std::filesystem::path& workFolder) {
    if (qEnvironmentVariableIsSet(kChooserHookVariable)) {
        const QString answer = qEnvironmentVariable(kChooserHookVariable);
        if (answer.isEmpty()) return std::make_unique<PresetChooser>(std::nullopt);
        return std::make_unique<PresetChooser>(toPath(answer));
    }
    return std::make_unique<XmlFileChooser>(owner, workFolder);
}

std::unique_ptr<MessagePresenter> makeMessagePresenter() {
    if (qEnvironmentVariableIsSet(kMessagesHookVariable))
        return std::make_unique<MessageLog>(toPath(qEnvironmentVariable(kMessagesHookVariable)));
    return std::make_unique<MessageBoxPresenter>();
}

}  // namespace thq::app
