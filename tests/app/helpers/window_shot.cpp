// Draws the stand-alone main window into a PNG: window_shot OUTPUT.png
#include <QApplication>
#include <QPixmap>
#include <cstdio>

#include "app/main_form.hpp"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "uso: window_shot SALIDA.png\n");
        return 2;
    }
    thq::app::TMForm form{thq::app::FormServices{}};
    form.show();
    QApplication::processEvents();
    const bool saved = form.grab().save(QString::fromLocal8Bit(argv[1]), "PNG");
    form.close();
    return saved ? 0 : 1;
}
