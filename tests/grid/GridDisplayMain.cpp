#include "tests/grid/GridTestSupport.h"

#include <QApplication>
#include <QStyleFactory>

#include <gtest/gtest.h>

// Runs on the display it is given (xcb under Xvfb); without one every test skips.
int main(int argc, char** argv) {
    if (qgetenv("DISPLAY").isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    } else if (qgetenv("QT_QPA_PLATFORM").isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(TestPalette());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
