#include "app/main_form.hpp"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>

#include "app/status_file.hpp"
#include "data/error.hpp"
#include "data/text.hpp"
#include "import/import_run.hpp"

#ifndef TH_APP_VERSION
#define TH_APP_VERSION "1.0.0"
#endif

namespace thq::app {
namespace {

constexpr const char* kHelpContextProperty = "helpContext";

// The application-wide busy cursor for as long as a run's steps work.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { restore(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
    void restore() {
        if (shown_) QApplication::restoreOverrideCursor();
        shown_ = false;
    }

private:
    bool shown_ = true;
};

QFont labelFont() {
    QFont font(QStringLiteral("Arial"), 12);
    font.setBold(true);
    return font;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(labelFont());
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setGeometry(geometry);
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    button->setProperty(kHelpContextProperty, kHelpContext);
    return button;
}

}  // namespace

QColor colourFromNumber(std::uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

GradientPanel::GradientPanel(QWidget* parent, std::uint32_t from, std::uint32_t through,
                             std::uint32_t to)
    : QWidget(parent),
      colours_{colourFromNumber(from), colourFromNumber(through), colourFromNumber(to)} {
    setProperty(kHelpContextProperty, kHelpContext);
}

void GradientPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0.0, colours_[0]);
    gradient.setColorAt(0.5, colours_[1]);
    gradient.setColorAt(1.0, colours_[2]);
    painter.fillRect(rect(), gradient);
}

TMForm::TMForm(FormServices services) : services_(std::move(services)) {
    setObjectName(QStringLiteral("MForm"));
    // A dialog-style window of fixed size: no minimise or maximise buttons, no dragging.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QString::fromUtf8(kCaption));
    setFixedSize(kClientWidth, kClientHeight);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setProperty(kHelpContextProperty, kHelpContext);
    buildLayout();

    FormCreate();
    if (!embedded_) {
        // Centred on the screen.
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->geometry();
            move(area.x() + (area.width() - kClientWidth) / 2,
                 area.y() + (area.height() - kClientHeight) / 2);
        }
    }
}

void TMForm::buildLayout() {
    constexpr std::uint32_t kUpperFrom = 8246265, kWhite = 0xFFFFFF, kUpperTo = 14544639;
    auto* exportPanel = new GradientPanel(this, kUpperFrom, kWhite, kUpperTo);
    exportPanel->setObjectName(QStringLiteral("Draw3D2"));
    exportPanel->setGeometry(1, 0, 315, 169);
    auto* importPanel = new GradientPanel(this, kUpperFrom, kWhite, kUpperTo);
    importPanel->setObjectName(QStringLiteral("Draw3D3"));
    importPanel->setGeometry(316, 0, 317, 169);
    auto* lowerPanel = new GradientPanel(this, 16698818, 16708303, 15128780);
    lowerPanel->setObjectName(QStringLiteral("Draw3D1"));
    lowerPanel->setGeometry(0, 168, 633, 97);

    makeLabel(exportPanel, "Label3",
              QStringLiteral("Transformar datos desde Quelva hacia Horalia "),
              QRect(24, 24, 265, 57));
    makeLabel(importPanel, "Label4", QStringLiteral("Transformar datos desde Horalia hacia Quelva"),
              QRect(8, 24, 305, 57));

    const QIcon check = style()->standardIcon(QStyle::SP_DialogApplyButton);
    QPushButton* exportButton =
        makeButton(exportPanel, "BExportar", QStringLiteral("Aceptar"), QRect(96, 120, 89, 25));
    exportButton->setIcon(check);
    QPushButton* importButton =
        makeButton(importPanel, "BImportar", QStringLiteral("Aceptar"), QRect(96, 120, 89, 25));
    importButton->setIcon(check);
    QPushButton* closeButton =
        makeButton(lowerPanel, "BClose", QStringLiteral("&Salir"), QRect(256, 32, 89, 25));
    closeButton->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    QPushButton* helpButton =
        makeButton(lowerPanel, "Button1", QStringLiteral("F1 Ayuda"), QRect(512, 56, 75, 25));

    auto* version =
        new QLabel(QStringLiteral("TransHoralisQuelva versión " TH_APP_VERSION), lowerPanel);
    version->setObjectName(QStringLiteral("Label1"));
    QFont versionFont = font();
    versionFont.setBold(true);
    version->setFont(versionFont);
    QPalette red = version->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    version->setPalette(red);
    // Some styles draw labels in their own text colour whatever the palette; a style sheet wins.
    version->setStyleSheet(QStringLiteral("color: #ff0000;"));
    version->setGeometry(8, 72, 213, 13);

    connect(exportButton, &QPushButton::clicked, this, [this] { BExportarClick(); });
    connect(importButton, &QPushButton::clicked, this, [this] { BImportarClick(); });
    connect(closeButton, &QPushButton::clicked, this, [this] { close(); });
    connect(helpButton, &QPushButton::clicked, this, [this] { Button1Click(); });
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    f1->setContext(Qt::WindowShortcut);
    connect(f1, &QShortcut::activated, this, [this] { helpForFocus(); });
}

void TMForm::FormCreate() {
    transformStatus_ = 0;
    try {
        const std::optional<std::uint32_t> host = hostWindowOf(services_.parameters);
        if (!host) return;
        if (services_.embedder != nullptr) {
            const EmbedResult result = services_.embedder->embed(*this, *host);
            embedded_ = result.embedded;
            if (!result.embedded && !result.problem.empty()) showError(result.problem, {});
        }
        launchParamCount_ = static_cast<std::int32_t>(services_.parameters.size());
    } catch (const Error& error) {
        showError(error.what(), error.detail());
    }
}

void TMForm::FormShow() {
    if (services_.parameters.size() != 2) return;
    if (directionOf(services_.parameters[0]) == Direction::Import) BImportarClick();
    if (directionOf(services_.parameters[0]) == Direction::Export) BExportarClick();
}

void TMForm::FormClose() {
    if (launchParamCount_ != 2) return;
    try {
        writeTransformStatus(statusFilePath(services_.executableFolder), transformStatus_);
    } catch (const Error& error) {
        // Reported, but the window still closes: otherwise it could never be closed.
        showError(error.what(), error.detail());
    }
}

void TMForm::BExportarClick() { run(Direction::Export); }
void TMForm::BImportarClick() { run(Direction::Import); }

void TMForm::Button1Click() {
    if (services_.help == nullptr) return;
    services_.help->setApplicationHelpFile(kHelpFile);
    services_.help->setWindowHandle(static_cast<std::uintptr_t>(winId()));
    services_.help->showTableOfContents();
}

void TMForm::helpForFocus() {
    if (services_.help == nullptr) return;
    QWidget* widget = QApplication::focusWidget();
    if (widget == nullptr || window() != widget->window()) widget = this;
    for (; widget != nullptr; widget = widget->parentWidget()) {
        const QVariant context = widget->property(kHelpContextProperty);
        if (context.isValid()) {
            services_.help->setWindowHandle(static_cast<std::uintptr_t>(winId()));
            services_.help->showContext(context.toInt(), services_.help->applicationHelpFile());
            return;
        }
    }
}

void TMForm::run(Direction direction) {
    if (services_.chooser != nullptr) {
        if (auto chosen = services_.chooser->choose()) currentDocumentPath_ = std::move(*chosen);
    }
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(currentDocumentPath_, ignored)) {
        missingDocument();
        return;
    }
    bool completed = false;
    {
        BusyCursor busy;
        try {
            if (direction == Direction::Export) {
                completed = exporter::runExport(currentDocumentPath_, services_.workFolder,
                                                services_.exportHooks) ==
                            exporter::ExportOutcome::Completed;
            } else {
                completed =
                    importer::runImport(currentDocumentPath_, services_.workFolder).outcome ==
                    importer::ImportOutcome::Completed;
            }
        } catch (const Error& error) {
            busy.restore();
            showError(error.what(), error.detail());
            return;
        } catch (const std::exception& error) {
            busy.restore();
            showError(error.what(), {});
            return;
        }
    }
    if (!completed) {  // the document went away after the test above
        missingDocument();
        return;
    }
    transformStatus_ = 1;
    if (services_.messages != nullptr) services_.messages->showMessage(kCompletedMessage);
    if (launchParamCount_ == 2) close();
}

void TMForm::missingDocument() {
    if (services_.messages != nullptr) services_.messages->showMessage(kMissingMessage);
    if (launchParamCount_ == 2) {
        transformStatus_ = -1;
        close();
    }
}

void TMForm::showError(const std::string& message, const std::string& detail) {
    if (services_.messages != nullptr)
        services_.messages->showError(text::errorBoxText(message), detail);
}

void TMForm::setVisible(bool visible) {
    if (visible && !showHandled_) {
        // The show handler runs before the window is first drawn; a hosted run that closes
        // the window leaves it unshown.
        showHandled_ = true;
        FormShow();
        if (closed_) return;
    }
    QWidget::setVisible(visible);
}

void TMForm::closeEvent(QCloseEvent* event) {
    FormClose();
    closed_ = true;
    event->accept();
}

}  // namespace thq::app
