#include <QApplication>

#include <gtest/gtest.h>

// The window tests need a QApplication for their whole run. They run offscreen, also when ctest lists
// them (which it does without the test's environment).
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
