#pragma once

#include <QString>
#include <cstdint>

#include "core/logic/save_format.h"

// The program's settings record, shared by every window for the life of the process.
// Field widths are those of the stored values; texts are held as Unicode and stored
// as Shift-JIS in the settings file. Every field has an initializer, {} at least, so that a
// designated initializer may leave any out without a warning.
struct Settings {
    std::int32_t ScalePercent = 100;
    std::int32_t JpegQuality = 100;
    std::int32_t PrintPercent = 200;
    std::uint8_t SaveType = saveTypeCode(SaveFormat::Jpeg);
    std::uint8_t StoredSaveType = saveTypeCode(SaveFormat::Jpeg);
    std::uint8_t RecordRate = 10;
    std::uint16_t FrameLimit = 100;
    bool FrameLimitEnabled = false;
    bool AlwaysOnTop = false;
    QString SaveDirectory{};
    QString DesignatedPrefix = QStringLiteral("指定先に保存");
    QString IntervalPrefix = QStringLiteral("一定時間ごとに保存");
    QString MoviePrefix = QStringLiteral("動画保存");
    QString ProgramDirectory{};  // ends with the path separator
    bool SaveFolderSet = false;
};
