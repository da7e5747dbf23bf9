#pragma once

#include <QImage>
#include <QObject>

#include "core/logic/capture_geometry.h"
#include "core/logic/program_state.h"
#include "core/ui/command_ports.h"

class MessageBoxes;
class SavePictureDialog;
class ScreenGrabber;
class TForm1;
class TOKBottomDlg;

// The one-shot capture commands of the frame window: save as, save to the folder under a
// numbered name, and copy. Each takes the frame off the screen and lets Timer1 grab a moment
// later; the grab, clipping and scaling steps are shared with the other capture commands.
class StillCommands : public QObject, public CaptureCommandsPort {
    Q_OBJECT
public:
    StillCommands(ProgramState& state, TForm1& form1, TOKBottomDlg& chooser, ScreenGrabber& grabber,
                  SavePictureDialog& saveDialog, MessageBoxes& messages);

    void SaveAs1Click() override;
    void N1Click() override;
    void Copy1Click() override;
    // Interval save: N2Click arms it (the dialog opens once a folder is known); timers is one save.
    void N2Click() override;
    void timers();
    void setDirectory();
    void appointsave();
    void Timer1Timer();
    void Save(const QImage& bitmap);
    // Scales image and writes it under prefix and number in the save folder, in the save format;
    // the number moves on only when the file was written.
    void saveNumbered(QImage& image, const QString& prefix, std::int32_t& number);

    // Grab steps: the whole screen into ScreenBitmap, then the capture rectangle into CaptureBitmap.
    void grabWholeScreen();
    void grabCaptureRectangle();
    // The capture rectangle alone into CaptureBitmap, read straight from the screen when it lies
    // wholly on it (ScreenBitmap is then left as it was); else both steps above.
    void grabClientArea();
    // Clips the capture rectangle to the screen, refilling bitmap from ScreenBitmap.
    QImage& oversize(QImage& bitmap);
    // Scales bitmap in place by ScalePercent; false when the scaled image cannot be made.
    bool stretchimage(QImage& bitmap);
    // The frame's geometry now, in device pixels.
    CaptureGeometry captureGeometry() const;

private:
    ProgramState& m_state;
    TForm1& m_form1;
    TOKBottomDlg& m_chooser;
    ScreenGrabber& m_grabber;
    SavePictureDialog& m_saveDialog;
    MessageBoxes& m_messages;
};
