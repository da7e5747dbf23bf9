#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include "app/program.h"
#include "capture_window/ui/frame_window.h"
#include "fakes/frame_harness.h"
#include "fakes/recording_message_boxes.h"
#include "fakes/scripted_codecs.h"
#include "fakes/settable_clock.h"
#include "fakes/x11_test_support.h"
#include "platform/x11/global_hotkey.h"
#include "platform/x11/screen_grabber.h"
#include "still/ui/print_command.h"
#include "still/ui/save_picture_dialog.h"
#include "still/ui/still_commands.h"
#include "test_pictures.h"

// Answers the save-as dialog with prepared names, then cancels, and records what it was asked.
class ScriptedSaveDialog final : public SavePictureDialog {
public:
    void preselect(int filterIndex, const QString& defaultSuffix) override {
        this->filterIndex = filterIndex;
        suffix = defaultSuffix;
    }
    std::optional<QString> exec(QWidget*) override {
        ++opened;
        if (answers.empty()) return std::nullopt;
        return answers.takeFirst();
    }
    QStringList answers;
    int filterIndex = 0;
    QString suffix;
    int opened = 0;
};

// Cancels every print dialog.
class CancellingPrintDialog final : public PrintDialogPort {
public:
    bool exec(QPrinter&, QWidget*) override { return false; }
};

// The whole program in this process, started in a folder of the test's own over a known picture.
class ProgramTest : public ::testing::Test, protected FrameTestServices {
protected:
    // Under a window manager when managed, with other message boxes when given; the frame has the
    // keyboard at the end.
    void start(bool managed = false, MessageBoxes* messages = nullptr) {
        ASSERT_TRUE(desktop.start(managed)) << "openbox is needed for this test";
        program = std::make_unique<Program>(folder(), services(messages));
        program->show();
        ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == program->frame.get(); }));
        waitForXIdle();
    }
    ProgramServices services(MessageBoxes* messages = nullptr) {
        return {messages ? *messages : boxes,
                documents,
                hotkeys,
                grabber,
                saveDialog,
                *printDialog,
                codecs,
                builtAviModule(),
                clock};
    }
    QString folder() const { return dir.path() + QLatin1Char('/'); }
    FrameWindow& form() { return *program->frame; }
    // Chooses the command's item in the frame's menu.
    void choose(FrameCommand command) { form().menuItem(command)->trigger(); }
    // Runs the keys and waits until the frame is back on the screen after its capture.
    void capture(const QStringList& keys) {
        ASSERT_TRUE(sendKeys(keys));
        ASSERT_TRUE(waitUntil([&] { return form().isVisible() && !program->stillCommands->grabPending(); }));
        waitForXIdle();
    }
    // The picture under the client area as the backdrop paints it.
    QImage expectedClient() const {
        return test_pictures::ramps(
            QRect(program->frame->clientOrigin(),
                  QSize(program->frame->clientWidth(), program->frame->clientHeight())));
    }

    QTemporaryDir dir;
    ScriptedSaveDialog saveDialog;
    CancellingPrintDialog cancellingPrintDialog;
    PrintDialogPort* printDialog = &cancellingPrintDialog;  // a test may answer it otherwise
    ScriptedCodecs codecs;
    Desktop desktop;
    std::unique_ptr<Program> program;
};
