#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "capture_window/ui/frame_window.h"
#include "core/ui/command_ports.h"
#include "fakes/frame_harness.h"
#include "fakes/recording_message_boxes.h"
#include "fakes/x11_test_support.h"
#include "platform/x11/global_hotkey.h"

// The settings dialog's live always-on-top choice, set by the test.
class FakeSettingsDialog final : public SettingsDialogPort {
public:
    QWidget* dialog() override { return &widget; }
    bool alwaysOnTop() const override { return onTop; }
    QWidget widget;
    bool onTop = false;
};

// A frame window shown over a known picture, with its boxes and documents recorded.
class FrameTest : public ::testing::Test, protected FrameHarness {
protected:
    FrameTest() { form.setSettingsDialog(&settingsDialog); }

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
    FakeSettingsDialog settingsDialog;
};
