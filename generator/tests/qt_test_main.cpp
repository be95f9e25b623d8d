// The dialog tests' main: one QApplication for every test, never on a real display.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    // ctest lists the tests by running this binary at build time, without the tests'
    // environment; there may be no display then either.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
