#include <QApplication>

#include <gtest/gtest.h>

// The window tests need a QApplication for their whole run; CTest sets the offscreen platform.
int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
