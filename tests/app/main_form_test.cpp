// The Qt window over its controller: the window's frame and visibility in each mode, the
// buttons and keys that reach the controller, the wait cursor, the repaint before a run's
// work, and the event loop ending when the window closes. The behaviour itself is tested once,
// without Qt, in tests/controller.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "form_fixture.hpp"

namespace thq::app::test {
namespace {

bool waitCursorShown() {
    return QApplication::overrideCursor() != nullptr &&
           QApplication::overrideCursor()->shape() == Qt::WaitCursor;
}

// Hosted windows lose their frame; a run at show that ends closes the window before it was
// ever on the screen; a window that stays is shown, and BClose closes it.
TEST(MainForm, FrameAndVisibilityInEachMode) {
    const struct {
        std::vector<std::string> parameters;
        bool frameless;
        bool closedAtShow;
        std::optional<int> status;  // the status file once closed
    } cases[] = {
        {{}, false, false, std::nullopt},
        {{"exportar", "1A2B"}, true, true, -1},  // the chooser is cancelled
        {{"exportr", "1A2B"}, true, false, 0},
        {{"exportar", "0x1A2B"}, false, false, std::nullopt},  // the handle does not convert
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.parameters.empty() ? "(none)" : c.parameters[0] + " " + c.parameters[1]);
        FormFixture fixture(c.parameters);
        TMForm& form = fixture.showForm();
        EXPECT_EQ(form.windowFlags().testFlag(Qt::FramelessWindowHint), c.frameless);
        EXPECT_EQ(fixture.embedder.handles.size(), c.frameless ? 1u : 0u);
        EXPECT_EQ(form.controller().isClosed(), c.closedAtShow);
        EXPECT_EQ(form.isVisible(), !c.closedAtShow);
        if (!c.closedAtShow) {
            form.findChild<QPushButton*>("BClose")->click();
            EXPECT_TRUE(form.controller().isClosed());
            EXPECT_FALSE(form.isVisible());
        }
        EXPECT_EQ(fixture.status(),
                  c.status ? std::optional(FormFixture::statusText(*c.status)) : std::nullopt);
    }
}

// Each button reaches its handler; Alt+S presses Salir, which closes the window.
TEST(MainForm, ButtonsAndKeysReachTheController) {
    FormFixture fixture({"exportr", "1A2B"});
    TMForm& form = fixture.showForm();
    QApplication::setActiveWindow(&form);

    form.findChild<QPushButton*>("BExportar")->click();
    EXPECT_EQ(fixture.chooser.shown, 1);
    EXPECT_EQ(fixture.messages.texts(), std::vector<std::string>{"No existe archivo"});
    EXPECT_TRUE(form.controller().isClosed());  // hosted: the run closed the window
    EXPECT_FALSE(form.isVisible());

    FormFixture standAlone;
    TMForm& window = standAlone.showForm();
    QApplication::setActiveWindow(&window);
    window.findChild<QPushButton*>("BImportar")->click();
    window.findChild<QPushButton*>("BExportar")->click();
    EXPECT_EQ(standAlone.chooser.shown, 2);
    EXPECT_EQ(standAlone.messages.texts(),
              (std::vector<std::string>{"No existe archivo", "No existe archivo"}));
    EXPECT_FALSE(window.controller().isClosed());
    QWidget* focused = window.findChild<QWidget*>("BExportar");
    focused->setFocus();
    QTest::keyClick(focused, Qt::Key_S, Qt::AltModifier);
    // A button's access key shows the button pressed for a moment, then clicks it.
    EXPECT_TRUE(QTest::qWaitFor([&window] { return window.controller().isClosed(); }, 10000));
    EXPECT_FALSE(window.isVisible());
}

// The controller's busy cursor is the application's wait cursor: up while the steps work,
// not while the chooser or a box waits for the user.
TEST(MainForm, BusyCursorIsTheApplicationWaitCursor) {
    const struct {
        const char* name;
        bool fails;
    } cases[] = {{"completed", false}, {"failed", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FormFixture fixture;
        fixture.chooser.answers.push_back(c.fails
                                              ? thq::test::writeFailingDocument(fixture.dir.path())
                                              : thq::test::copySampleDocument(fixture.dir.path()));
        std::size_t steps = 0;
        std::size_t busySteps = 0;
        fixture.services.exportHooks.beforeStep = [&](std::string_view) {
            ++steps;
            if (waitCursorShown()) ++busySteps;
        };
        TMForm& form = fixture.showForm();
        form.findChild<QPushButton*>("BExportar")->click();

        EXPECT_FALSE(fixture.chooser.busyWhileShown);
        EXPECT_GT(steps, 0u);
        EXPECT_EQ(busySteps, steps);
        ASSERT_EQ(fixture.messages.shown.size(), 1u);
        EXPECT_EQ(fixture.messages.shown[0].error, c.fails);
        EXPECT_FALSE(fixture.messages.shown[0].busy);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        form.close();
    }
}

// Between the chooser and the first step the window paints itself, so the closed chooser's
// picture does not stay over it while the run works.
TEST(MainForm, WindowPaintsBeforeTheRunWorks) {
    class PaintCounter final : public QObject {
    public:
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) ++paints;
            return false;
        }
        int paints = 0;
    } counter;

    FormFixture fixture;
    fixture.chooser.answers.push_back(thq::test::copySampleDocument(fixture.dir.path()));
    std::optional<int> paintsAtFirstStep;
    fixture.services.exportHooks.beforeStep = [&](std::string_view) {
        if (!paintsAtFirstStep) paintsAtFirstStep = counter.paints;
    };
    TMForm& form = fixture.showForm();
    QApplication::processEvents();  // the first paint is behind us
    form.installEventFilter(&counter);
    form.findChild<QPushButton*>("BExportar")->click();
    ASSERT_TRUE(paintsAtFirstStep.has_value());
    EXPECT_GE(*paintsAtFirstStep, 1);
    form.removeEventFilter(&counter);
    form.close();
}

// Closing ends the event loop in hosted mode too, where the window is not a top-level window
// that Qt would see close last: through Salir, and through a later run that completes.
TEST(MainForm, ClosingEndsTheEventLoop) {
    const struct {
        const char* name;
        bool byRun;
    } cases[] = {{"Salir", false}, {"a completed run", true}};
    const bool quitOnLastWindow = QApplication::quitOnLastWindowClosed();
    QApplication::setQuitOnLastWindowClosed(false);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FormFixture fixture({"exportr", "1A2B"});
        fixture.chooser.answers.push_back(thq::test::copySampleDocument(fixture.dir.path()));
        TMForm& form = fixture.showForm();
        QTimer::singleShot(0, &form, [&form, &c] {
            form.findChild<QPushButton*>(c.byRun ? "BExportar" : "BClose")->click();
        });
        bool timedOut = false;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [&timedOut] {
            timedOut = true;
            QCoreApplication::exit(1);
        });
        guard.start(60000);
        EXPECT_EQ(QApplication::exec(), 0);
        EXPECT_FALSE(timedOut);
        EXPECT_TRUE(form.controller().isClosed());
        EXPECT_EQ(fixture.status(), FormFixture::statusText(c.byRun ? 1 : 0));
    }
    QApplication::setQuitOnLastWindowClosed(quitOnLastWindow);
}

}  // namespace
}  // namespace thq::app::test
