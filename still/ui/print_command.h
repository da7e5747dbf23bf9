#pragma once

#include <QObject>
#include <QRect>
#include <QTimer>

#include "core/logic/program_state.h"
#include "core/ui/command_ports.h"

class MessageBoxes;
class QImage;
class QPainter;
class QPrinter;
class ScreenCapture;
class StillFrame;

// The print dialog, an interface so that tests can answer it.
class PrintDialogPort {
public:
    virtual ~PrintDialogPort() = default;
    // Lets the user confirm or change the printer, in a dialog opened from owner; false when cancelled.
    virtual bool exec(QPrinter& printer, QWidget* owner) = 0;
};

// The platform's print dialog (QPrintDialog) with its default options.
class QtPrintDialog final : public PrintDialogPort {
public:
    bool exec(QPrinter& printer, QWidget* owner) override;
};

// The print command of the frame window: takes the frame off the screen, lets grabDelay grab a moment
// later and prints the unscaled capture on one page, at the print size or fitted to the page.
class PrintCommand : public QObject, public PrintCommandPort {
    Q_OBJECT
public:
    // The print size is the settings dialog's live choice.
    PrintCommand(StillFrame& frame, ScreenCapture& screen, const ProgramState& state, MessageBoxes& messages,
                 PrintDialogPort& dialog);

    void print() override;
    void takePicture();

    // Draws bitmap stretched into rectangle of canvas by nearest pixel, through a 24-bit bottom-up
    // copy, so that the printer never receives the screen's own pixel format.
    static void StretchDrawBitmap(QPainter& canvas, const QRect& rectangle, const QImage& bitmap);

    // Grabs a moment after the frame has left the screen.
    QTimer grabDelay;

private:
    // Grabs, shows the frame again and prints through the dialog; the text of what went wrong, empty
    // when nothing did (a dialog cancelled included).
    QString printPicture();
    // Prints image after the dialog; false when the printer cannot be used.
    bool printOnPage(QPrinter& printer, const QImage& image);

    StillFrame& m_frame;
    ScreenCapture& m_screen;
    const ProgramState& m_state;
    MessageBoxes& m_messages;
    PrintDialogPort& m_dialog;
};
