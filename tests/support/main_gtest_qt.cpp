#include <QApplication>
#include <gtest/gtest.h>

// Test executables that make widgets link this main: widgets, event loops and
// QProcess all want one, and a single instance must outlive every test.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
