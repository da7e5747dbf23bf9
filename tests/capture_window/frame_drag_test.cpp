#include "frame_test_fixture.h"

TEST_F(FrameTest, TitleBarMovesAndBorderAndCornerResizeWithoutAWindowManager) {
    showOverBackdrop();
    ASSERT_TRUE(dragFrom(QPoint(335 + 100, 330 + 12), QPoint(335 + 150, 330 + 52)));
    EXPECT_EQ(form.geometry(), QRect(385, 370, 428, 387));

    // Right border, then the bottom-left corner.
    ASSERT_TRUE(dragFrom(QPoint(385 + 426, 370 + 200), QPoint(385 + 426 + 30, 370 + 200)));
    EXPECT_EQ(form.geometry(), QRect(385, 370, 458, 387));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Kadrel1.02  450 , 360"));
    ASSERT_TRUE(dragFrom(QPoint(385 + 1, 370 + 385), QPoint(385 + 21, 370 + 385 + 40)));
    EXPECT_EQ(form.geometry(), QRect(405, 370, 438, 427));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Kadrel1.02  430 , 400"));
    EXPECT_EQ(form.appliedShape(), form.regions().frameButton);
}

TEST_F(FrameTest, TitleBarMovesAndBorderResizesUnderAWindowManager) {
    showOverBackdrop(true);
    const QRect before = form.geometry();
    ASSERT_TRUE(dragFrom(before.topLeft() + QPoint(100, 12), before.topLeft() + QPoint(160, 62)));
    EXPECT_TRUE(waitUntil([&] { return form.pos() == before.topLeft() + QPoint(60, 50); }))
        << form.pos().x() << "," << form.pos().y();
    const QRect moved = form.geometry();
    ASSERT_TRUE(dragFrom(moved.topLeft() + QPoint(moved.width() - 2, 200),
                         moved.topLeft() + QPoint(moved.width() - 2 + 40, 200)));
    EXPECT_TRUE(waitUntil([&] { return form.width() == moved.width() + 40; })) << form.width();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Kadrel1.02  %1 , 360").arg(moved.width() + 40 - 8));
}
