// A stand-in for the timetable program's window: shows an empty 800 x 600 window, prints
// its native id in hexadecimal on one line and runs until it is ended.
#include <QApplication>
#include <QWidget>
#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QWidget host;
    host.setWindowTitle(QStringLiteral("Anfitrion de prueba"));
    host.resize(800, 600);
    host.show();
    std::printf("%llX\n", static_cast<unsigned long long>(host.winId()));
    std::fflush(stdout);
    return QApplication::exec();
}
