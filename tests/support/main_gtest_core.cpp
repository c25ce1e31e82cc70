#include <QCoreApplication>
#include <gtest/gtest.h>

// Test executables without widgets link this main: event loops and QProcess want an
// application object, and a single instance must outlive every test.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
