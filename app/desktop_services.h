// The real services of a desktop run, for the program's start and for benchmarks that run the
// whole program.
#pragma once

#include "app/startup.h"
#include "platform/codec_dialog.h"
#include "platform/global_hotkey.h"
#include "platform/message_box.h"
#include "platform/mm_clock.h"
#include "platform/screen_grabber.h"
#include "platform/shell.h"
#include "still/ui/print_command.h"
#include "still/ui/save_picture_dialog.h"

struct DesktopServices {
    QtMessageBoxes messages;
    DesktopDocumentOpener documents;
    GlobalHotkeys hotkeys;
    ScreenGrabber grabber;
    QtSavePictureDialog saveDialog;
    QtPrintDialog printDialog;
    QtCodecChooser codecs;
    MonotonicMmClock clock;

    ProgramServices services() {
        return {messages, documents, hotkeys, grabber, saveDialog, printDialog, codecs, clock};
    }
};
