// The real services of a desktop run, for the program's start and for benchmarks that run the
// whole program.
#pragma once

#include <QCoreApplication>

#include "app/program.h"
#include "platform/avi/avi_library_loader.h"
#include "platform/avi/codec_chooser.h"
#include "platform/system/mm_clock.h"
#include "platform/x11/global_hotkey.h"
#include "platform/x11/message_box.h"
#include "platform/x11/screen_grabber.h"
#include "platform/x11/shell.h"
#include "still/ui/print_command.h"
#include "still/ui/save_picture_dialog.h"

struct DesktopServices {
    QtMessageBoxes messages;
    DesktopDocumentOpener documents;
    GlobalHotkeys hotkeys;
    ScreenGrabber grabber;
    QtSavePictureDialog saveDialog;
    QtPrintDialog printDialog;
    // The AVI module beside the executable, opened by the first re-compression, and its dialog.
    AviLibraryLoader avi{QCoreApplication::applicationDirPath()};
    QtCodecChooser codecs{avi};
    MonotonicMmClock clock;

    ProgramServices services() {
        return {messages, documents, hotkeys, grabber, saveDialog, printDialog, codecs, avi, clock};
    }
};
