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

TEST(HostedWindowXvfb, ExportInsideAHostWindowLeavesStatusOne) {
    const QString xvfb = QStandardPaths::findExecutable("Xvfb");
    if (xvfb.isEmpty()) GTEST_SKIP() << "Xvfb is not installed (scripts/install-deps.sh)";
    const QString xwininfo = QStandardPaths::findExecutable("xwininfo");
    const QString xprop = QStandardPaths::findExecutable("xprop");
    const QString xdotool = QStandardPaths::findExecutable("xdotool");
    ASSERT_FALSE(xwininfo.isEmpty() || xprop.isEmpty() || xdotool.isEmpty())
        << "x11-utils and xdotool are needed with Xvfb (scripts/install-deps.sh)";

    thq::test::TempDir dir;
    std::filesystem::create_directories(dir / "bin");
    std::filesystem::create_directories(dir / "HTEMP");
    const auto tool = dir / "bin" / "TransHoralisQuelva";
    std::filesystem::copy_file(TH_APP_EXECUTABLE, tool);
    const auto document = dir / "horario.xml";
    std::filesystem::copy_file(thq::test::sourceDir() / "samples" / "ies-sierra-de-la-vega.xml",
                               document);

    Child server(xvfb, {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
                 QProcessEnvironment::systemEnvironment());
    const QString display = server.firstLine(20s);
    ASSERT_FALSE(display.isEmpty()) << "Xvfb did not start";

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", ":" + display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.remove("TRANSHORALIS_TEST_MESSAGES");
    if (!env.contains("LSAN_OPTIONS")) env.insert("LSAN_OPTIONS", TH_LSAN_OPTIONS);
    Child host(TH_HOST_WINDOW_HELPER, {}, env);
    const QString hostId = host.firstLine(60s);
    ASSERT_FALSE(hostId.isEmpty()) << "the host window did not start";
    const QString hostWindow = "0x" + hostId.toLower();

    QProcessEnvironment toolEnv = env;
    toolEnv.insert("HTEMP", QString::fromStdString((dir / "HTEMP").string()));
    toolEnv.insert("TRANSHORALIS_TEST_CHOOSER", QString::fromStdString(document.string()));
    // Started from another folder: the status file goes beside the executable all the same.
    Child transformer(QString::fromStdString(tool.string()), {"exportar", hostId}, toolEnv,
                      QString::fromStdString(dir.path().string()));

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
    const QString children = run(xwininfo, {"-children", "-id", hostWindow}, env);
    const QString form =
        windowIdWith(children, "\"Exportar e importar datos entre Horalia y Quelva \"");
    ASSERT_FALSE(form.isEmpty()) << children.toStdString();
    EXPECT_TRUE(run(xwininfo, {"-children", "-id", form}, env)
                    .contains(QRegularExpression("Parent window id: " + hostWindow + "\\b")));
    const QString hints = run(xprop, {"-id", form, "_MOTIF_WM_HINTS"}, env);
    const QRegularExpressionMatch values =
        QRegularExpression("= (0x[0-9a-f]+), (0x[0-9a-f]+), (0x[0-9a-f]+)").match(hints);
    ASSERT_TRUE(values.hasMatch()) << hints.toStdString();
    EXPECT_TRUE(values.captured(1).toUInt(nullptr, 16) & 2u);  // decorations given...
    EXPECT_EQ(values.captured(3).toUInt(nullptr, 16), 0u);     // ...as none

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

}  // namespace
}  // namespace thq::app::test
