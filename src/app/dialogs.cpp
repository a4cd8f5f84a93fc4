#include "app/dialogs.hpp"

#include <QApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTranslator>
#include <algorithm>

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

XmlFileChooser::XmlFileChooser(QWidget* owner, const std::filesystem::path& workFolder)
    : owner_(owner), initialFolder_(workFolder / "quelva") {}

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
    // Qt's own chooser, not the desktop's: the desktop's speaks the desktop's language, and
    // the tool's texts are Spanish wherever it runs.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
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

// The widest a box's text may grow: what QMessageBox allows itself on this screen, less room
// for the icon and the margins.
int widestText() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int screenWidth = screen != nullptr ? screen->availableGeometry().width() : 1024;
    const int boxLimit = screenWidth <= 1024 ? screenWidth : std::min(screenWidth - 480, 1000);
    return std::max(0, boxLimit - 120);
}

// A message that names a file keeps each path whole on its line: the box grows to hold the
// longest one instead of wrapping it at a hyphen in the middle of a folder's name. Only a path
// wider than the box can grow wraps.
void keepPathsWhole(QMessageBox& box) {
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (label == nullptr) return;
    const QFontMetrics metrics(label->font());
    static const QRegularExpression spaces(QStringLiteral("\\s+"));
    int widest = 0;
    for (const QString& word : box.text().split(spaces, Qt::SkipEmptyParts)) {
        if (word.contains(u'/') || word.contains(u'\\'))
            widest = std::max(widest, metrics.horizontalAdvance(word));
    }
    label->setMinimumWidth(std::min(widest, widestText()));
}

std::unique_ptr<QMessageBox> makeBox(QMessageBox::Icon icon, const std::string& text) {
    auto box = std::make_unique<QMessageBox>();
    box->setIcon(icon);
    box->setWindowTitle(QString::fromUtf8(kApplicationTitle));
    // Texts are shown as they are: element names, paths and values are no markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(QString::fromStdString(text));
    keepPathsWhole(*box);
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

// --- Qt's own texts in Spanish ---------------------------------------------------------

bool installSpanishTranslations() {
    // Spanish number and date formats in the chooser too, whatever the desktop's language.
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
    auto* application = QCoreApplication::instance();
    if (application == nullptr) return false;
    const QString name = QStringLiteral("qtbase_es");
    if (application->findChild<QTranslator*>(name, Qt::FindDirectChildrenOnly) != nullptr)
        return true;
    auto translator = std::make_unique<QTranslator>();
    translator->setObjectName(name);
    // Qt's installed translations first, then a "translations" folder beside the program
    // (a copy of the tool that carries its own).
    const QStringList folders = {
        QLibraryInfo::path(QLibraryInfo::TranslationsPath),
        QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
    };
    for (const QString& folder : folders) {
        if (translator->load(name, folder)) {
            QCoreApplication::installTranslator(translator.get());
            translator.release()->setParent(application);
            return true;
        }
    }
    return false;
}

// --- The chooser and presenter the process uses -----------------------------------------

std::unique_ptr<DocumentChooser> makeChooser(QWidget* owner,
                                             const std::filesystem::path& workFolder) {
    return std::make_unique<XmlFileChooser>(owner, workFolder);
}

std::unique_ptr<MessagePresenter> makeMessagePresenter() {
    return std::make_unique<MessageBoxPresenter>();
}

}  // namespace thq::app
