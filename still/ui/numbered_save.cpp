#include "still/ui/numbered_save.h"

#include <QImage>
#include <QWidget>
#include <cerrno>
#include <limits>

#include "core/logic/capture_geometry.h"
#include "core/logic/numbered_name.h"
#include "core/logic/save_format.h"
#include "core/logic/settings.h"
#include "core/ui/frame_ports.h"
#include "platform/x11/message_box.h"
#include "platform/x11/window_stack.h"
#include "still/logic/write_image.h"

void saveNumbered(QImage image, const QString& prefix, std::int32_t& number, const Settings& s,
                  MessageBoxes& messages, QWidget& owner) {
    if (!stretchByPercent(image, s.ScalePercent))
        return messages.message(&owner, QStringLiteral("画像を作成できません"));
    const SaveFormatRow& format = numberedSaveFormat(s.SaveType);
    const std::uint8_t type = saveTypeCode(format.format);
    const QString path = numberedPath(s.SaveDirectory, prefix, number, QLatin1String(format.extension));
    // The system's error of the write that failed says why; a picture refused before any file was
    // touched leaves none.
    errno = 0;
    if (writeimage(image, path, type, s.JpegQuality, s.SaveDirectory) != WriteResult::Written) {
        const int error = errno;
        const QString cannotSave = QStringLiteral("保存できません");
        return messages.message(&owner, error != 0 ? withCause(cannotSave, error) : cannotSave);
    }
    if (number < std::numeric_limits<std::int32_t>::max()) ++number;
}

void askForSaveFolder(StillFrame& frame, QWidget& chooser) {
    frame.window().setEnabled(false);
    window_stack::showOver(&chooser, &frame.window());
}
