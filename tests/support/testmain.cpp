// GoogleTest inside a QApplication, so tests can use widgets, timers and queued
// signals. Windows never reach a screen: the offscreen platform is the default.

#include <gtest/gtest.h>
#include <QApplication>

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
