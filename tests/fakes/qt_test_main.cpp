// Test main for every test executable: a real QApplication on the X server named by DISPLAY.
#include <gtest/gtest.h>

#include <QApplication>

#include "fakes/test_watchdog.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Listing tests must work without an X server (InitGoogleTest has taken the flag out of argv).
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    startTestWatchdog();  // from here on a hang says where, the X connection included
    // Run side by side by ctest, each test has an X server of its own (the resource "display" that
    // scripts/test lists): tests share the screen, the clipboard, key grabs and window managers.
    const QByteArray display = qgetenv("CTEST_RESOURCE_GROUP_0_DISPLAY");  // "id:<number>,slots:1"
    if (display.startsWith("id:")) qputenv("DISPLAY", ":" + display.mid(3).split(',').front());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kadrel"));
    return RUN_ALL_TESTS();
}
