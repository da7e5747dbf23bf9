#include "video/logic/frame_size.h"

#include "core/logic/capture_geometry.h"
#include "platform/avi/avi_file_writer.h"

FrameSizeCheck recordingFrameSize(QSize source, std::int32_t percent) {
    if (percent <= 0) return {{}, QStringLiteral("拡大率が %1 % です. 1 % 以上にしてください.").arg(percent)};
    const auto scaled = [percent](int side) { return (std::int64_t(side) * percent + 99) / 100; };
    const std::int64_t width = scaled(source.width());
    const std::int64_t height = scaled(source.height());
    const QString size = QStringLiteral("%1 × %2").arg(width).arg(height);
    if (width > AviFileWriter::kMaxSide || height > AviFileWriter::kMaxSide)
        return {{},
                QStringLiteral("動画の幅と高さは %1 ピクセルまでです (この拡大率では %2).")
                    .arg(AviFileWriter::kMaxSide)
                    .arg(size)};
    const std::optional<QSize> frame = scaledSize(source, percent);
    if (!frame) return {{}, QStringLiteral("画像が大きすぎます (%1).").arg(size)};
    if (frame->isEmpty()) return {{}, QStringLiteral("画像の大きさが 0 です (%1).").arg(size)};
    return {*frame, {}};
}
