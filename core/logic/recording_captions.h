#pragma once

#include <QString>

// The frame's captions during a recording: set by the recording, and kept by the frame while it
// puts its look back during a paused run.
extern const QString kRecordingCaption;        // "Kadrel1.02 動画保存>録画中"
extern const QString kPausedRecordingCaption;  // "Kadrel1.02 動画保存>一時停止中"
