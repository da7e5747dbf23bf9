#pragma once

#include <QString>
#include <cstdint>

class MessageBoxes;
class QImage;
class QWidget;
class StillFrame;
struct Settings;

// Scales image by ScalePercent and writes it under prefix and number in the save folder, in the
// save format; a failure is told in a box over owner. The number moves on only when the file was
// written, so that the next save tries it again.
void saveNumbered(QImage image, const QString& prefix, std::int32_t& number, const Settings& settings,
                  MessageBoxes& messages, QWidget& owner);

// Opens the save-folder chooser over the frame, which waits disabled until the chooser closes.
void askForSaveFolder(StillFrame& frame, QWidget& chooser);
