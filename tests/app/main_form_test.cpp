// The Qt window over its controller: the window's frame and visibility in each mode, the
// buttons and keys that reach the controller, the wait cursor, the repaint before a run's
// work, and the event loop ending when the window closes. The behaviour itself is tested once,
// without Qt, in tests/controller.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "form_fixture.hpp"

namespace thq::app::test {
namespace {

class RecordingHelpBackend final : public help::HtmlHelpBackend {
public:
    void htmlHelp(const help::HtmlHelpCall& call) override { calls.push_back(call); }
    std::vector<help::HtmlHelpCall> calls;
};

// Boxes that wait, as modal ones do, in an event loop of their own until the program ends;
// `whileWaiting` runs once the first one is up.
class WaitingPresenter final : public MessagePresenter {
public:
    explicit WaitingPresenter(std::function<void()> whileWaiting)
        : whileWaiting_(std::move(whileWaiting)) {}
    void showMessage(const std::string&) override { wait(); }
    void showError(const std::string&, const std::string&) override { wait(); }

private:
    void wait() {
        QEventLoop loop;
        QTimer::singleShot(0, &loop, whileWaiting_);
        loop.exec();
    }
    std::function<void()> whileWaiting_;
};

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

// Enter and keypad Enter press the focused button, as Space does.
TEST(MainForm, EnterPressesTheFocusedButton) {
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    } keys[] = {{Qt::Key_Return, Qt::NoModifier},
                {Qt::Key_Enter, Qt::KeypadModifier},
                {Qt::Key_Space, Qt::NoModifier}};
    for (const auto& k : keys) {
        SCOPED_TRACE(k.key);
        FormFixture fixture;
        auto backend = std::make_shared<RecordingHelpBackend>();
        help::HelpSystem helpSystem(fixture.executableFolder());
        help::installHelpRouting(helpSystem, backend);
        fixture.services.help = &helpSystem;
        TMForm& form = fixture.showForm();
        QApplication::setActiveWindow(&form);
        const auto press = [&](const char* name) {
            auto* button = form.findChild<QPushButton*>(name);
            button->setFocus(Qt::TabFocusReason);
            QTest::keyClick(button, k.key, k.modifiers);
            // Space clicks on its release; Enter at once.
            QApplication::processEvents();
        };
        press("BExportar");
        EXPECT_EQ(fixture.chooser.shown, 1);
        press("BImportar");
        EXPECT_EQ(fixture.chooser.shown, 2);
        press("Button1");
        EXPECT_EQ(backend->calls.size(), 1u);
        EXPECT_FALSE(form.controller().isClosed());
        press("BClose");
        EXPECT_TRUE(form.controller().isClosed());
        helpSystem.shutdown();
    }
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
// that Qt would see close last: through Salir, through a later run that completes, and when
// the host window goes away, also while a box waits for the user.
TEST(MainForm, ClosingEndsTheEventLoop) {
    enum class Closer { Salir, CompletedRun, HostGone, HostGoneUnderABox };
    const struct {
        const char* name;
        Closer closer;
        int status;
    } cases[] = {
        {"Salir", Closer::Salir, 0},
        {"a completed run", Closer::CompletedRun, 1},
        {"the host gone", Closer::HostGone, 0},
        {"the host gone while the error box waits", Closer::HostGoneUnderABox, 0},
    };
    const bool quitOnLastWindow = QApplication::quitOnLastWindowClosed();
    QApplication::setQuitOnLastWindowClosed(false);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FormFixture fixture({"exportr", "1A2B"});
        fixture.embedder.hostExists = true;
        fixture.chooser.answers.push_back(c.closer == Closer::HostGoneUnderABox
                                              ? thq::test::writeFailingDocument(fixture.dir.path())
                                              : thq::test::copySampleDocument(fixture.dir.path()));
        // A box that waits as a modal one does: in an event loop of its own.
        bool boxWaited = false;
        WaitingPresenter waiting([&] {
            boxWaited = true;
            fixture.embedder.hostExists = false;
        });
        if (c.closer == Closer::HostGoneUnderABox) fixture.services.messages = &waiting;
        TMForm& form = fixture.showForm();
        QTimer::singleShot(0, &form, [&] {
            switch (c.closer) {
                case Closer::Salir:
                    form.findChild<QPushButton*>("BClose")->click();
                    break;
                case Closer::CompletedRun:
                case Closer::HostGoneUnderABox:
                    form.findChild<QPushButton*>("BExportar")->click();
                    break;
                case Closer::HostGone:
                    fixture.embedder.hostExists = false;
                    break;
            }
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
        EXPECT_EQ(fixture.status(), FormFixture::statusText(c.status));
        EXPECT_EQ(boxWaited, c.closer == Closer::HostGoneUnderABox);
    }
    QApplication::setQuitOnLastWindowClosed(quitOnLastWindow);
}

}  // namespace
}  // namespace thq::app::test
