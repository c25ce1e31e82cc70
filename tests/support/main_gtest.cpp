#include <gtest/gtest.h>
#ifdef QT_WIDGETS_LIB
#include <QApplication>
using Application = QApplication;
#else
#include <QCoreApplication>
using Application = QCoreApplication; // the logic's tests build without widgets
#endif

// Event loops, QProcess and widgets want one application object that outlives every test.
int main(int argc, char** argv) {
    Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
