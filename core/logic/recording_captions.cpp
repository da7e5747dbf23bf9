#include "core/logic/recording_captions.h"

const QString kRecordingCaption = QStringLiteral("Kadrel1.02 動画保存>録画中");
const QString kPausedRecordingCaption = QStringLiteral("Kadrel1.02 動画保存>一時停止中");
