#include "platform/x11/message_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <QWidget>

#include "fakes/x11_test_support.h"
#include "platform/x11/window_stack.h"

TEST(MessageBox, TakesTheFocusShowsItsWholeTitleAndGivesTheFocusBack) {
    QWidget owner;
    owner.setGeometry(100, 100, 300, 200);
    owner.show();
    // As after a capture: the frame took the focus at the server's current time.
    window_stack::bringToForeground(&owner);
    ASSERT_TRUE(waitUntil([&] { return owner.isActiveWindow(); }));

    bool focused = false;
    int width = 0;
    QTimer poll;
    const QDeadlineTimer shown(30000);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box) return;
        width = box->width();
        focused = box->isActiveWindow();
        if (focused || shown.hasExpired()) box->close();
    });
    poll.start(20);
    QtMessageBoxes().message(&owner, QStringLiteral("保存できません"));
    poll.stop();

    EXPECT_TRUE(focused);
    // The short text alone made the box 127 pixels wide, and the title bar showed "…".
    EXPECT_GE(width, owner.fontMetrics().horizontalAdvance(QStringLiteral("Kadrel")) + 100);
    EXPECT_TRUE(waitUntil([&] { return owner.isActiveWindow(); }));
}
