#include "capture_window/logic/frame_geometry.h"

#include <gtest/gtest.h>

#include "capture_window/logic/keyboard_stepper.h"

TEST(FrameGeometry, RegionsCutTheClientAndAddTheButton) {
    const FrameLayout layout{{428, 387}, {4, 23}, {420, 360}, {162, 36, 97, 25}};
    const FrameRegions r = buildFrameRegions(layout, false);
    EXPECT_EQ(r.client, QRegion(4, 23, 420, 360));
    EXPECT_TRUE(r.frame.contains(QPoint(0, 0)));
    EXPECT_TRUE(r.frame.contains(QPoint(427, 386)));
    EXPECT_FALSE(r.frame.contains(QPoint(4, 23)));
    EXPECT_FALSE(r.frame.contains(QPoint(423, 382)));
    EXPECT_EQ(r.button, QRegion(166, 59, 97, 25));
    EXPECT_EQ(frameShape(r, false), r.frame.united(r.button));

    const FrameRegions busy = buildFrameRegions(layout, true);
    EXPECT_EQ(busy.frameButton, QRegion(0, 0, 1, 1));
    EXPECT_EQ(frameShape(busy, true), busy.frame);
}

TEST(FrameGeometry, ButtonRulesAndMenuCorner) {
    EXPECT_EQ(menuButtonPosition({250, 70}, 97), QPoint(90, 11));
    EXPECT_EQ(menuButtonPosition({251, 70}, 97), QPoint(77, 7));
    EXPECT_EQ(menuButtonPosition({250, 69}, 97), std::nullopt);
    EXPECT_EQ(menuButtonPosition({251, 0}, 97), QPoint(77, 0));
    EXPECT_EQ(commandMenuPosition({100, 200}, QRect(165, 36, 97, 25)), QPoint(100 + 68, 200 + 61));
    EXPECT_EQ(frameCaption(420, 360, false), QStringLiteral("Kadrel1.02  420 , 360"));
    EXPECT_EQ(frameCaption(7, 0, true), QStringLiteral("Kadrel1.02  7 , 0一定時間ごとに保存"));
}

TEST(KeyboardStepper, BurstsTurnFastAndAnotherDirectionIsFastAtOnce) {
    KeyboardStepper s;
    std::vector<int> steps;
    // Keys 99 ms apart make one burst, also where the millisecond clock wraps round.
    for (std::uint32_t i = 0; i < 4; ++i) steps.push_back(s.step(StepDirection::Right, 99 * i - 150));
    EXPECT_EQ(steps, (std::vector<int>{1, 1, 10, 10}));
    EXPECT_EQ(s.step(StepDirection::Left, 200), 1);
    EXPECT_EQ(s.step(StepDirection::Left, 200), 10);
    EXPECT_EQ(s.step(StepDirection::Left, 300), 1);  // after a pause of 100 ms
    // Alternating directions for a long time never lets the counter overflow.
    for (int i = 0; i < 100000; ++i) s.step(i % 2 ? StepDirection::Up : StepDirection::Down, 300);
    EXPECT_LE(s.count(), 5);
}
