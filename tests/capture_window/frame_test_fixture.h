#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "capture_window/ui/frame_window.h"
#include "fakes/frame_harness.h"
#include "fakes/recording_message_boxes.h"
#include "fakes/x11_test_support.h"
#include "platform/x11/global_hotkey.h"

// A frame window shown over a known picture, with its boxes and documents recorded.
class FrameTest : public ::testing::Test, protected FrameHarness {
protected:
    // Under a window manager when managed; the frame has the keyboard at the end.
    void showOverBackdrop(bool managed = false) {
        ASSERT_TRUE(desktop.start(managed)) << "openbox is needed for this test";
        form.show();
        form.activateWindow();
        ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == &form; }));
        waitForXIdle();
    }

    FrameWindow& form = form1;
    Desktop desktop;
};
