// The window as the user sees it: layout, chooser settings, message boxes, help keys.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "app/dialogs.hpp"
#include "app/help_backend.hpp"
#include "form_fixture.hpp"

namespace thq::app::test {
namespace {

TEST(Window, LayoutAndCaption) {
    FormFixture fixture;
    TMForm& form = fixture.showForm();
    EXPECT_EQ(form.objectName(), "MForm");
    EXPECT_EQ(form.windowTitle(), "Exportar e importar datos entre Horalia y Quelva ");
    EXPECT_EQ(form.size(), QSize(632, 266));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());  // fixed size
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::FramelessWindowHint));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(form.x(), screen.x() + (screen.width() - 632) / 2);
    EXPECT_EQ(form.y(), screen.y() + (screen.height() - 266) / 2);

    const struct {
        const char* name;
        const char* parent;
        QRect geometry;
        const char* text;  // buttons and labels
    } controls[] = {
        {"Draw3D2", "MForm", {1, 0, 315, 169}, nullptr},
        {"Label3", "Draw3D2", {24, 24, 265, 57}, "Transformar datos desde Quelva hacia Horalia "},
        {"BExportar", "Draw3D2", {96, 120, 89, 25}, "Aceptar"},
        {"Draw3D3", "MForm", {316, 0, 317, 169}, nullptr},
        {"Label4", "Draw3D3", {8, 24, 305, 57}, "Transformar datos desde Horalia hacia Quelva"},
        {"BImportar", "Draw3D3", {96, 120, 89, 25}, "Aceptar"},
        {"Draw3D1", "MForm", {0, 168, 633, 97}, nullptr},
        {"BClose", "Draw3D1", {256, 32, 89, 25}, "&Salir"},
        {"Button1", "Draw3D1", {512, 56, 75, 25}, "F1 Ayuda"},
        {"Label1", "Draw3D1", {8, 72, 213, 13}, "TransHoralisQuelva versión 1.0.0"},
    };
    for (const auto& c : controls) {
        SCOPED_TRACE(c.name);
        auto* widget = form.findChild<QWidget*>(c.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), c.parent);
        EXPECT_EQ(widget->geometry(), c.geometry);
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_EQ(button->text(), c.text);
            EXPECT_EQ(button->icon().isNull(), std::string(c.name) == "Button1");
            EXPECT_EQ(widget->property("helpContext").toInt(), 3);
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            EXPECT_EQ(label->text(), c.text);
            EXPECT_TRUE(label->font().bold());
        } else {
            EXPECT_EQ(widget->property("helpContext").toInt(), 3);  // panels
        }
    }
    EXPECT_EQ(form.property("helpContext").toInt(), 3);
    for (const char* name : {"Label3", "Label4"}) {
        const QFont font = form.findChild<QLabel*>(name)->font();
        EXPECT_EQ(font.family(), "Arial");
        EXPECT_EQ(font.pointSize(), 12);
    }
    const QLabel* version = form.findChild<QLabel*>("Label1");
    EXPECT_EQ(version->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_EQ(version->font().pointSize(), 8);
    // What is painted is red too, not only what the palette says.
    const QImage drawn = const_cast<QLabel*>(version)->grab().toImage();
    bool redDrawn = false;
    for (int x = 0; x < drawn.width() && !redDrawn; ++x) {
        for (int y = 0; y < drawn.height() && !redDrawn; ++y) {
            const QColor c = drawn.pixelColor(x, y);
            redDrawn = c.red() > 200 && c.green() < 60 && c.blue() < 60;
        }
    }
    EXPECT_TRUE(redDrawn);
    form.close();
}

TEST(Window, PanelColoursAreBlueGreenRedNumbers) {
    EXPECT_EQ(colourFromNumber(8246265), QColor(0xF9, 0xD3, 0x7D));
    EXPECT_EQ(colourFromNumber(14544639), QColor(0xFF, 0xEE, 0xDD));
    EXPECT_EQ(colourFromNumber(16698818), QColor(0xC2, 0xCD, 0xFE));
    EXPECT_EQ(colourFromNumber(16708303), QColor(0xCF, 0xF2, 0xFE));
    EXPECT_EQ(colourFromNumber(15128780), QColor(0xCC, 0xD8, 0xE6));

    FormFixture fixture;
    TMForm& form = fixture.showForm();
    const struct {
        const char* panel;
        QColor stops[3];
    } panels[] = {
        {"Draw3D2", {QColor(0xF9, 0xD3, 0x7D), Qt::white, QColor(0xFF, 0xEE, 0xDD)}},
        {"Draw3D3", {QColor(0xF9, 0xD3, 0x7D), Qt::white, QColor(0xFF, 0xEE, 0xDD)}},
        {"Draw3D1", {QColor(0xC2, 0xCD, 0xFE), QColor(0xCF, 0xF2, 0xFE), QColor(0xCC, 0xD8, 0xE6)}},
    };
    for (const auto& p : panels) {
        auto* panel = dynamic_cast<GradientPanel*>(form.findChild<QWidget*>(p.panel));
        ASSERT_NE(panel, nullptr) << p.panel;
        const QImage image = panel->grab().toImage();
        for (int stop = 0; stop < 3; ++stop) {
            EXPECT_EQ(panel->colourAt(stop), p.stops[stop]) << p.panel << stop;
            // What is painted: the top row, the middle and the bottom row.
            const int y = stop == 0 ? 0 : stop == 1 ? image.height() / 2 : image.height() - 1;
            const QColor painted = image.pixelColor(image.width() - 3, y);
            EXPECT_LE(std::abs(painted.red() - p.stops[stop].red()) +
                          std::abs(painted.green() - p.stops[stop].green()) +
                          std::abs(painted.blue() - p.stops[stop].blue()),
                      12)
                << p.panel << " stop " << stop;
        }
    }
    form.close();
}

TEST(Window, ChooserSettings) {
    thq::test::TempDir dir;
    std::filesystem::create_directories(dir / "quelva");
    XmlFileChooser chooser(nullptr, dir.path());
    QFileDialog dialog;
    chooser.configure(dialog);
    EXPECT_EQ(dialog.windowTitle(), "Archivo XML");
    EXPECT_EQ(dialog.nameFilters(), QStringList{"*.xml (*.xml)"});
    EXPECT_EQ(dialog.defaultSuffix(), "xml");
    EXPECT_EQ(toPath(dialog.directory().absolutePath()), dir.path() / "quelva");
    EXPECT_EQ(dialog.fileMode(), QFileDialog::AnyFile);  // one file; it need not exist
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_TRUE(dialog.isSizeGripEnabled());
    // Qt's own chooser, which speaks Spanish, rather than the desktop's.
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
}

// Qt's own texts are Spanish whatever the desktop's language: the chooser's labels and buttons,
// the error box's button that unfolds the detail.
TEST(Window, QtTextsInSpanish) {
    ASSERT_TRUE(installSpanishTranslations()) << "qtbase_es.qm (Debian: qt6-translations-l10n)";
    EXPECT_TRUE(installSpanishTranslations());  // once is enough
    EXPECT_EQ(QLocale().language(), QLocale::Spanish);

    thq::test::TempDir dir;
    XmlFileChooser chooser(nullptr, dir.path());
    QFileDialog dialog;
    chooser.configure(dialog);
    const struct {
        const char* label;
        const char* text;
    } labels[] = {{"lookInLabel", "Ver en:"},
                  {"fileNameLabel", "&Nombre de fichero:"},
                  {"fileTypeLabel", "Ficheros de tipo:"}};
    for (const auto& l : labels) {
        auto* label = dialog.findChild<QLabel*>(l.label);
        ASSERT_NE(label, nullptr) << l.label;
        EXPECT_EQ(label->text(), QString::fromUtf8(l.text));
    }
    QStringList buttons;
    for (const QPushButton* button : dialog.findChildren<QPushButton*>()) buttons << button->text();
    EXPECT_TRUE(buttons.contains("&Abrir")) << buttons.join(", ").toStdString();
    EXPECT_TRUE(buttons.contains("Cancelar")) << buttons.join(", ").toStdString();

    const auto error = MessageBoxPresenter::makeErrorBox("Fallo.", "en PROFT.DBF");
    error->show();
    QApplication::processEvents();
    ASSERT_EQ(error->buttons().size(), 2);
    EXPECT_EQ(error->buttons()[1]->text(), "Mostrar los detalles...");
    error->hide();
}

// Answers the next modal dialog: `act` gets it once it is up.
template <typename Dialog>
void whenShown(std::function<void(Dialog&)> act) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        poll->stop();
        poll->deleteLater();
        act(*dialog);
    });
    poll->start();
}

TEST(Window, ChooserRemembersTheLastConfirmedFile) {
    thq::test::TempDir dir;
    std::filesystem::create_directories(dir / "quelva");
    const auto chosen = dir / "quelva" / "centro.xml";
    XmlFileChooser chooser(nullptr, dir.path());

    whenShown<QFileDialog>([&](QFileDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Archivo XML");
        d.selectFile(toQString(chosen));
        QMetaObject::invokeMethod(&d, "accept");
    });
    EXPECT_EQ(chooser.choose(), chosen);  // a name that does not exist yet is accepted

    QStringList offered;
    whenShown<QFileDialog>([&](QFileDialog& d) {
        offered = d.selectedFiles();
        d.reject();
    });
    EXPECT_EQ(chooser.choose(), std::nullopt);  // cancelled
    EXPECT_EQ(offered, QStringList(toQString(chosen)));
    EXPECT_EQ(chooser.lastConfirmed(), toQString(chosen));
}

TEST(Window, MessageBoxesAndTheirKeys) {
    const auto message = MessageBoxPresenter::makeMessageBox("Proceso finalizado");
    EXPECT_EQ(message->icon(), QMessageBox::NoIcon);
    EXPECT_EQ(message->windowTitle(), "TransHoralisQuelva");
    EXPECT_EQ(message->text(), "Proceso finalizado");
    EXPECT_EQ(message->detailedText(), "");
    EXPECT_TRUE(message->isModal());
    ASSERT_EQ(message->buttons().size(), 1);
    EXPECT_EQ(message->buttons()[0]->text(), "Aceptar");
    EXPECT_EQ(message->defaultButton(), message->buttons()[0]);
    EXPECT_EQ(message->escapeButton(), message->buttons()[0]);

    const auto error = MessageBoxPresenter::makeErrorBox("Fallo.", "en PROFT.DBF");
    EXPECT_EQ(error->icon(), QMessageBox::Critical);
    EXPECT_EQ(error->windowTitle(), "TransHoralisQuelva");
    EXPECT_EQ(error->detailedText(), "en PROFT.DBF");
    // Besides "Aceptar" only the box's own button that unfolds the detail.
    ASSERT_EQ(error->buttons().size(), 2);
    EXPECT_EQ(error->defaultButton()->text(), "Aceptar");
    EXPECT_EQ(error->escapeButton(), error->defaultButton());
    EXPECT_EQ(error->buttonRole(error->buttons()[1]), QMessageBox::ActionRole);
    const auto plainError = MessageBoxPresenter::makeErrorBox("Fallo.", "");
    EXPECT_EQ(plainError->detailedText(), "");
    ASSERT_EQ(plainError->buttons().size(), 1);
    EXPECT_EQ(plainError->buttons()[0]->text(), "Aceptar");

    // Enter and Escape both press "Aceptar" and end the wait.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QString pressed;
        whenShown<QMessageBox>([&](QMessageBox& box) {
            QTest::keyClick(&box, key);
            if (box.clickedButton() != nullptr) pressed = box.clickedButton()->text();
        });
        MessageBoxPresenter().showMessage("Proceso finalizado");
        EXPECT_EQ(pressed, "Aceptar") << key;
    }
}

// Texts are shown as they are: element names in angle brackets are no markup, in the boxes
// and in the window's labels.
TEST(Window, TextsArePlainText) {
    const std::string text =
        "/tmp/<b>centro</b>.xml: el elemento raíz del documento es <html>, no <SERVICIO>.";
    const auto boxes = {MessageBoxPresenter::makeMessageBox(text),
                        MessageBoxPresenter::makeErrorBox(text, "")};
    for (const auto& box : boxes) {
        auto* label = box->findChild<QLabel*>("qt_msgbox_label");
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_EQ(label->text(), QString::fromStdString(text));
    }

    FormFixture fixture;
    TMForm& form = fixture.showForm();
    for (const QLabel* label : form.findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
    form.close();
}

// A long path stays whole on its line instead of wrapping at a hyphen inside a folder's name.
TEST(Window, BoxesKeepPathsWhole) {
    const std::string path =
        "/home/usuario/centro-escolar/horarios-2024/build-test/bin/QUELVA.chm.";
    const auto box = MessageBoxPresenter::makeErrorBox("No existe el archivo de ayuda " + path, "");
    box->show();
    QApplication::processEvents();
    const QLabel* label = box->findChild<QLabel*>("qt_msgbox_label");
    ASSERT_NE(label, nullptr);
    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(QString::fromStdString(path)));
    // The words before it still wrap: the box grows no wider than the path needs.
    EXPECT_LT(box->width(), QGuiApplication::primaryScreen()->availableGeometry().width());
    box->hide();
}

class RecordingBackend final : public help::HtmlHelpBackend {
public:
    void htmlHelp(const help::HtmlHelpCall& call) override { calls.push_back(call); }
    std::vector<help::HtmlHelpCall> calls;
};

// "F1 Ayuda" shows the contents, F1 the topic of context 3 whichever control has the focus,
// both on QUELVA.chm in the executable's folder.
TEST(Window, HelpButtonAndF1) {
    FormFixture fixture;
    auto backend = std::make_shared<RecordingBackend>();
    help::HelpSystem helpSystem(fixture.executableFolder());
    help::installHelpRouting(helpSystem, backend);
    helpSystem.setApplicationHelpFile(kHelpFile);
    fixture.services.help = &helpSystem;
    TMForm& form = fixture.showForm();
    QApplication::setActiveWindow(&form);
    const std::string file = (fixture.executableFolder() / "QUELVA.chm").string();

    form.findChild<QPushButton*>("Button1")->click();
    ASSERT_EQ(backend->calls.size(), 1u);
    EXPECT_EQ(backend->calls[0].command, help::HtmlHelpCommand::DisplayToc);
    EXPECT_EQ(backend->calls[0].file, file);

    const char* focused[] = {"BExportar", "BImportar", "BClose", "Button1"};
    for (const char* name : focused) {
        backend->calls.clear();
        QWidget* widget = form.findChild<QWidget*>(name);
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key_F1);
        ASSERT_EQ(backend->calls.size(), 1u) << name;
        EXPECT_EQ(backend->calls[0].command, help::HtmlHelpCommand::HelpContext) << name;
        EXPECT_EQ(backend->calls[0].number, 3u) << name;
        EXPECT_EQ(backend->calls[0].file, file) << name;
    }
    form.close();
}

// Help that cannot be shown (no QUELVA.chm beside the program) is said in the error box, with
// the full stop that every error gets.
TEST(Window, MissingHelpFileInTheErrorBox) {
    FormFixture fixture;
    help::HelpSystem helpSystem(fixture.executableFolder());
    help::installHelpRouting(helpSystem,
                             help::makePlatformHelpBackend([&fixture](const std::string& problem) {
                                 fixture.form->controller().reportProblem(problem);
                             }));
    helpSystem.setApplicationHelpFile(kHelpFile);
    fixture.services.help = &helpSystem;
    TMForm& form = fixture.showForm();
    form.findChild<QPushButton*>("Button1")->click();
    const std::string file = (fixture.executableFolder() / kHelpFile).string();
    EXPECT_EQ(fixture.messages.texts(),
              std::vector<std::string>{"error: No existe el archivo de ayuda " + file + "."});
    form.close();
    helpSystem.shutdown();
}

}  // namespace
}  // namespace thq::app::test
