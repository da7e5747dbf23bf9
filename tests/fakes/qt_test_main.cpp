// Test main for every test executable: a real QApplication on the X server named by DISPLAY.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QThread>

#include "fakes/test_watchdog.h"

// The server resets once its only client, the test before, has gone, and drops the connections made
// meanwhile (for long on a loaded machine): a connection that has had an answer holds it off.
static xcb_connection_t* connectionPastAReset() {
    for (int attempt = 0; attempt < 300; ++attempt, QThread::msleep(100)) {
        xcb_connection_t* c = xcb_connect(nullptr, nullptr);
        free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        if (!xcb_connection_has_error(c)) return c;
        xcb_disconnect(c);
    }
    return nullptr;
}

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
    xcb_connection_t* holder = connectionPastAReset();
    QApplication app(argc, argv);
    if (holder) xcb_disconnect(holder);
    QApplication::setApplicationName(QStringLiteral("Kadrel"));
    return RUN_ALL_TESTS();
}
