// Test main for every test executable: a real QApplication on the X server named by DISPLAY.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>
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

// Tests that ctest runs side by side each take an X server of their own from those the test script
// started (KADREL_TEST_DISPLAYS), as they share the screen, the clipboard, key grabs and window
// managers: a lock per server, held while the process lives and never inherited by the programs it
// starts, marks the one taken. With no list, DISPLAY stays as it is.
static void takeAFreeDisplay() {
    const QList<QByteArray> displays = qgetenv("KADREL_TEST_DISPLAYS").split(' ');
    const QByteArray locks = qgetenv("KADREL_TEST_DISPLAY_LOCKS");
    if (locks.isEmpty()) return;
    for (;; QThread::msleep(50)) {  // all taken only while ctest runs more tests than servers
        for (const QByteArray& display : displays) {
            const int fd = ::open(locks + "/lock" + display, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) return (void)qputenv("DISPLAY", display);
            if (fd >= 0) ::close(fd);
        }
    }
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Listing tests must work without an X server (InitGoogleTest has taken the flag out of argv).
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    startTestWatchdog();  // from here on a hang says where, the X connection included
    takeAFreeDisplay();
    qputenv("QT_QPA_PLATFORM", "xcb");
    xcb_connection_t* holder = connectionPastAReset();
    QApplication app(argc, argv);
    if (holder) xcb_disconnect(holder);
    QApplication::setApplicationName(QStringLiteral("Kadrel"));
    return RUN_ALL_TESTS();
}
