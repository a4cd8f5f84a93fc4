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
#include <QThread>

#include "app/dialogs.hpp"

#ifndef TH_APP_VERSION
#define TH_APP_VERSION "1.0.0"
#endif

namespace thq::app {
namespace {

constexpr const char* kHelpContextProperty = "helpContext";
// How often an embedded window looks whether its host is still there.
constexpr int kHostWatchMilliseconds = 500;

QFont labelFont() {
    QFont font(QStringLiteral("Arial"), 12);
    font.setBold(true);
    return font;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(labelFont());
    label->setTextFormat(Qt::PlainText);
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
    // Enter and keypad Enter press the focused button, as in any dialog-style window.
    button->setAutoDefault(true);
    return button;
}

FormSettings settingsOf(const FormServices& services) {
    FormSettings settings;
    settings.parameters = services.parameters;
    settings.executableFolder = services.executableFolder;
    settings.workFolder = services.workFolder;
    settings.help = services.help;
    settings.exportOptions = services.exportHooks;
    return settings;
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

TMForm::TMForm(FormServices services)
    : services_(std::move(services)),
      ownChooser_(services_.chooser != nullptr
                      ? nullptr
                      : std::make_unique<XmlFileChooser>(this, services_.workFolder)),
      ownMessages_(services_.messages != nullptr ? nullptr
                                                 : std::make_unique<MessageBoxPresenter>()),
      ownEmbedder_(services_.embedder != nullptr ? nullptr : makePlatformEmbedder()),
      controller_(settingsOf(services_), *this,
                  services_.chooser != nullptr ? *services_.chooser : *ownChooser_,
                  services_.messages != nullptr ? *services_.messages : *ownMessages_) {
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

    controller_.FormCreate();
    if (!controller_.isEmbedded()) {
        // Centred on the screen.
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->geometry();
            move(area.x() + (area.width() - kClientWidth) / 2,
                 area.y() + (area.height() - kClientHeight) / 2);
        }
    }
}

TMForm::~TMForm() { setBusyCursor(false); }

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
    version->setTextFormat(Qt::PlainText);
    QFont versionFont = font();
    versionFont.setBold(true);
    version->setFont(versionFont);
    QPalette red = version->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    version->setPalette(red);
    // Some styles draw labels in their own text colour whatever the palette; a style sheet wins.
    version->setStyleSheet(QStringLiteral("color: #ff0000;"));
    version->setGeometry(8, 72, 213, 13);

    connect(exportButton, &QPushButton::clicked, this, [this] { controller_.BExportarClick(); });
    connect(importButton, &QPushButton::clicked, this, [this] { controller_.BImportarClick(); });
    connect(closeButton, &QPushButton::clicked, this, [this] { close(); });
    connect(helpButton, &QPushButton::clicked, this, [this] { controller_.Button1Click(); });
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    f1->setContext(Qt::WindowShortcut);
    connect(f1, &QShortcut::activated, this, [this] { helpForFocus(); });
}

void TMForm::helpForFocus() {
    QWidget* widget = QApplication::focusWidget();
    if (widget == nullptr || window() != widget->window()) widget = this;
    for (; widget != nullptr; widget = widget->parentWidget()) {
        const QVariant context = widget->property(kHelpContextProperty);
        if (context.isValid()) {
            controller_.F1Help(context.toInt());
            return;
        }
    }
}

void TMForm::setVisible(bool visible) {
    if (visible && !showHandled_) {
        // The show handler runs before the window is first drawn; a hosted run that closes
        // the window leaves it unshown.
        showHandled_ = true;
        controller_.FormShow();
        if (controller_.isClosed()) return;
    }
    QWidget::setVisible(visible);
}

void TMForm::closeEvent(QCloseEvent* event) {
    controller_.FormClose();
    event->accept();
}

WindowEmbedder& TMForm::embedder() {
    return services_.embedder != nullptr ? *services_.embedder : *ownEmbedder_;
}

EmbedResult TMForm::embedInHost(std::uint32_t hostHandle) {
    EmbedResult result = embedder().embed(*this, hostHandle);
    if (result.embedded) {
        // The host may go away while the tool is inside it (the timetable program ended or
        // killed): the window then closes as if the user had closed it, so the status is
        // written as it stands and the tool ends instead of living on unseen. The watch also
        // runs while the chooser or a box waits for the user.
        hostHandle_ = hostHandle;
        hostWatch_.setInterval(kHostWatchMilliseconds);
        connect(&hostWatch_, &QTimer::timeout, this, [this] { checkHost(); });
        hostWatch_.start();
    }
    return result;
}

void TMForm::checkHost() {
    if (controller_.isClosed()) {
        hostWatch_.stop();
        return;
    }
    if (embedder().hostStillExists(hostHandle_) != false) return;
    hostWatch_.stop();
    close();
}

void TMForm::setBusyCursor(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void TMForm::repaintNow() {
    // Painted at once, without a turn of the message loop (no click can start anything).
    if (isVisible()) repaint();
}

std::uintptr_t TMForm::nativeHandle() const { return static_cast<std::uintptr_t>(winId()); }

void TMForm::closeWindow() { close(); }

void TMForm::endProgram() {
    // Qt ends its loop by itself only when the last top-level window closes, and an embedded
    // window is none: without this the program would live on, unseen, after a hosted close.
    // Before the loop runs there is nothing to end: the program entry does not start it for a
    // window closed at show, and asking for an exit with no loop running would make the next
    // loop, a message box's, return at once.
    if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
}

}  // namespace thq::app
