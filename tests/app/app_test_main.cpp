// The window's tests need an application object; they run on the offscreen platform unless
// the environment names another.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("TransHoralisQuelva"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
