// End to end under Xvfb: a host window, the tool started by "the timetable program" with
// "exportar" and the host's id, the tool's window inside the host without border, the
// message answered with Enter, and Horalia.ini holding 1 once the tool has ended.
#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <chrono>
#include <filesystem>
#include <memory>

#include "test_support.hpp"

namespace thq::app::test {
namespace {

using namespace std::chrono_literals;

// A child process that is ended with the object.
class Child {
public:
    Child(const QString& program, const QStringList& arguments, const QProcessEnvironment& env,
          const QString& workingFolder = {}) {
        process_.setProgram(program);
        process_.setArguments(arguments);
        process_.setProcessEnvironment(env);
        if (!workingFolder.isEmpty()) process_.setWorkingDirectory(workingFolder);
        process_.start();
    }
    ~Child() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    QProcess& process() { return process_; }
    // The first line the child writes, within the time given.
    QString firstLine(std::chrono::milliseconds timeout) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!process_.canReadLine() && std::chrono::steady_clock::now() < end)
            process_.waitForReadyRead(100);
        return QString::fromUtf8(process_.readLine()).trimmed();
    }

private:
    QProcess process_;
};

QString run(const QString& program, const QStringList& arguments, const QProcessEnvironment& env) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The id of the first window line holding `text` in an xwininfo listing.
QString windowIdWith(const QString& listing, const QString& text) {
    for (const QString& line : listing.split('\n')) {
        if (line.contains(text)) return line.trimmed().section(' ', 0, 0);
    }
    return {};
}

template <typename Condition>
bool waitFor(Condition condition, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        QThread::msleep(200);
    }
    return condition();
}

// An X server, a host window on it and a copy of the tool in a folder of its own.
class HostedWindowXvfb : public ::testing::Test {
protected:
    void SetUp() override {
        const QString xvfb = QStandardPaths::findExecutable("Xvfb");
        if (xvfb.isEmpty()) GTEST_SKIP() << "Xvfb is not installed (scripts/install-deps.sh)";
        xwininfo = QStandardPaths::findExecutable("xwininfo");
        xprop = QStandardPaths::findExecutable("xprop");
        xdotool = QStandardPaths::findExecutable("xdotool");
        ASSERT_FALSE(xwininfo.isEmpty() || xprop.isEmpty() || xdotool.isEmpty())
            << "x11-utils and xdotool are needed with Xvfb (scripts/install-deps.sh)";

        std::filesystem::create_directories(dir / "bin");
        std::filesystem::create_directories(dir / "HTEMP");
        std::filesystem::copy_file(TH_APP_EXECUTABLE, tool());

        server = std::make_unique<Child>(
            xvfb, QStringList{"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
            QProcessEnvironment::systemEnvironment());
        const QString display = server->firstLine(20s);
        ASSERT_FALSE(display.isEmpty()) << "Xvfb did not start";

        env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", ":" + display);
        env.insert("QT_QPA_PLATFORM", "xcb");
        if (!env.contains("LSAN_OPTIONS")) env.insert("LSAN_OPTIONS", TH_LSAN_OPTIONS);
        host = std::make_unique<Child>(TH_HOST_WINDOW_HELPER, QStringList{}, env);
        hostId = host->firstLine(60s);
        ASSERT_FALSE(hostId.isEmpty()) << "the host window did not start";
        hostWindow = "0x" + hostId.toLower();
    }

    std::filesystem::path tool() const { return dir / "bin" / "TransHoralisQuelva"; }

    // The tool started by "the timetable program" with these parameters, from another folder
    // than its own, its chooser answered with `document` (the test build of the program takes
    // the answer as its first argument).
    std::unique_ptr<Child> startTool(const QStringList& parameters,
                                     const std::filesystem::path& document) {
        QProcessEnvironment toolEnv = env;
        toolEnv.insert("HTEMP", QString::fromStdString((dir / "HTEMP").string()));
        QStringList arguments{QString::fromStdString(document.string())};
        arguments += parameters;
        return std::make_unique<Child>(QString::fromStdString(tool().string()), arguments, toolEnv,
                                       QString::fromStdString(dir.path().string()));
    }

    // The tool's window among the host's children; empty when it is not there (yet).
    QString embeddedForm() {
        return windowIdWith(run(xwininfo, {"-children", "-id", hostWindow}, env),
                            "\"Exportar e importar datos entre Horalia y Quelva \"");
    }

    // Whether the window asks the window manager for no border and no caption bar.
    bool asksForNoDecorations(const QString& window) {
        const QString hints = run(xprop, {"-id", window, "_MOTIF_WM_HINTS"}, env);
        const QRegularExpressionMatch values =
            QRegularExpression("= (0x[0-9a-f]+), (0x[0-9a-f]+), (0x[0-9a-f]+)").match(hints);
        if (!values.hasMatch()) return false;
        return (values.captured(1).toUInt(nullptr, 16) & 2u) != 0 &&  // decorations given...
               values.captured(3).toUInt(nullptr, 16) == 0u;          // ...as none
    }

    thq::test::TempDir dir;
    QString xwininfo, xprop, xdotool;
    QProcessEnvironment env;
    std::unique_ptr<Child> server;
    std::unique_ptr<Child> host;
    QString hostId, hostWindow;
};

TEST_F(HostedWindowXvfb, ExportInsideAHostWindowLeavesStatusOne) {
    const auto document = thq::test::copySampleDocument(dir.path());
    const std::unique_ptr<Child> started = startTool({"exportar", hostId}, document);
    Child& transformer = *started;

    // The run ends with "Proceso finalizado" in the message box, captioned with the title.
    QString messageBox;
    ASSERT_TRUE(waitFor(
        [&] {
            messageBox = windowIdWith(run(xwininfo, {"-root", "-tree"}, env),
                                      "\"TransHoralisQuelva\": (\"TransHoralisQuelva\"");
            return !messageBox.isEmpty();
        },
        120s))
        << "no message box; tool stderr: "
        << transformer.process().readAllStandardError().toStdString();

    // Meanwhile the window stands inside the host, as its child, without border.
    const QString form = embeddedForm();
    ASSERT_FALSE(form.isEmpty())
        << run(xwininfo, {"-children", "-id", hostWindow}, env).toStdString();
    EXPECT_TRUE(run(xwininfo, {"-children", "-id", form}, env)
                    .contains(QRegularExpression("Parent window id: " + hostWindow + "\\b")));
    EXPECT_TRUE(asksForNoDecorations(form));

    // Enter presses "Aceptar"; the hosted run then closes the window and the tool ends.
    run(xdotool, {"windowfocus", "--sync", messageBox, "key", "Return"}, env);
    ASSERT_TRUE(transformer.process().waitForFinished(60000));
    EXPECT_EQ(transformer.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(transformer.process().exitCode(), 0)
        << transformer.process().readAllStandardError().toStdString();
    EXPECT_EQ(thq::test::readFile(dir / "bin" / "Horalia.ini"),
              "[Transformadores]\r\nTransformado=1\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "Horalia.ini"));
    EXPECT_TRUE(std::filesystem::exists(dir / "HTEMP" / "PROFT.DBF"));
}

// Closed with Salir in hosted mode, the tool writes the status as it stands and ends: the
// timetable program waits for it to end.
TEST_F(HostedWindowXvfb, SalirInsideAHostWindowEndsTheProgram) {
    const std::unique_ptr<Child> started =
        startTool({"exportr", hostId}, thq::test::copySampleDocument(dir.path()));
    Child& transformer = *started;
    QString form;
    ASSERT_TRUE(waitFor(
        [&] {
            form = embeddedForm();
            return !form.isEmpty() && run(xwininfo, {"-id", form}, env).contains("IsViewable");
        },
        120s))
        << "the window did not appear in the host; tool stderr: "
        << transformer.process().readAllStandardError().toStdString();

    // Salir stands at 256, 32 in the lower panel, which starts 168 down the window.
    run(xdotool, {"mousemove", "--sync", "--window", form, "300", "212", "click", "1"}, env);
    ASSERT_TRUE(transformer.process().waitForFinished(60000)) << "the tool did not end";
    EXPECT_EQ(transformer.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(transformer.process().exitCode(), 0)
        << transformer.process().readAllStandardError().toStdString();
    EXPECT_EQ(thq::test::readFile(dir / "bin" / "Horalia.ini"),
              "[Transformadores]\r\nTransformado=0\r\n");
}

// The host window going away while the tool is inside it (the timetable program ended or
// killed) ends the tool too, the status written as it stands: with the window idle, and with
// the error box of a failed run waiting for the user.
TEST_F(HostedWindowXvfb, HostGoneEndsTheProgram) {
    const struct {
        const char* name;
        QString direction;
        bool failingDocument;
    } cases[] = {{"idle", "exportr", false}, {"error box up", "exportar", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!host) {  // the first case's host has gone: another one for this case
            host = std::make_unique<Child>(TH_HOST_WINDOW_HELPER, QStringList{}, env);
            hostId = host->firstLine(60s);
            ASSERT_FALSE(hostId.isEmpty()) << "the host window did not start";
            hostWindow = "0x" + hostId.toLower();
        }
        std::filesystem::remove(dir / "bin" / "Horalia.ini");
        const auto document = c.failingDocument ? thq::test::writeFailingDocument(dir.path())
                                                : thq::test::copySampleDocument(dir.path());
        const std::unique_ptr<Child> started = startTool({c.direction, hostId}, document);
        Child& transformer = *started;
        ASSERT_TRUE(waitFor(
            [&] {
                if (c.failingDocument) {
                    return !windowIdWith(run(xwininfo, {"-root", "-tree"}, env),
                                         "\"TransHoralisQuelva\": (\"TransHoralisQuelva\"")
                                .isEmpty();
                }
                const QString form = embeddedForm();
                return !form.isEmpty() && run(xwininfo, {"-id", form}, env).contains("IsViewable");
            },
            120s))
            << "the tool did not get to its window or box; tool stderr: "
            << transformer.process().readAllStandardError().toStdString();
        EXPECT_FALSE(transformer.process().waitForFinished(1000)) << "the tool ended by itself";

        // The timetable program's window goes, with its process.
        host->process().kill();
        ASSERT_TRUE(host->process().waitForFinished(10000));
        host.reset();

        ASSERT_TRUE(transformer.process().waitForFinished(60000))
            << "the tool lives on without its host";
        EXPECT_EQ(transformer.process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(transformer.process().exitCode(), 0)
            << transformer.process().readAllStandardError().toStdString();
        EXPECT_EQ(thq::test::readFile(dir / "bin" / "Horalia.ini"),
                  "[Transformadores]\r\nTransformado=0\r\n");
    }
}

// A handle that names no window: the tool stands alone with its frame, where the user sees
// it, instead of inside nothing; Salir still ends it with the status written.
TEST_F(HostedWindowXvfb, HandleOfNoWindowLeavesAFramedWindow) {
    const std::unique_ptr<Child> started =
        startTool({"exportr", "7FFFFF0"}, thq::test::copySampleDocument(dir.path()));
    Child& transformer = *started;
    QString form;
    ASSERT_TRUE(waitFor(
        [&] {
            form = windowIdWith(run(xwininfo, {"-root", "-children"}, env),
                                "\"Exportar e importar datos entre Horalia y Quelva \"");
            return !form.isEmpty() && run(xwininfo, {"-id", form}, env).contains("IsViewable");
        },
        120s))
        << "no window of its own; tool stderr: "
        << transformer.process().readAllStandardError().toStdString();
    EXPECT_FALSE(asksForNoDecorations(form));

    run(xdotool, {"mousemove", "--sync", "--window", form, "300", "212", "click", "1"}, env);
    ASSERT_TRUE(transformer.process().waitForFinished(60000)) << "the tool did not end";
    EXPECT_EQ(transformer.process().exitCode(), 0)
        << transformer.process().readAllStandardError().toStdString();
    EXPECT_EQ(thq::test::readFile(dir / "bin" / "Horalia.ini"),
              "[Transformadores]\r\nTransformado=0\r\n");
}

}  // namespace
}  // namespace thq::app::test
