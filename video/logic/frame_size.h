// The size of a recording's frames, checked once at the start against what the AVI file can hold,
// so that no run takes frames that its assembly would refuse.
#pragma once

#include <QSize>
#include <QString>
#include <cstdint>

struct FrameSizeCheck {
    QSize size;       // the frame size, valid when problem is empty
    QString problem;  // else the cause, in the user's words, as the refusal's second line
};

// source scaled by percent as every still image is (Ceil of side * percent / 100), with neither
// side above the AVI writer's limit and the frame not larger than a picture the program can make.
FrameSizeCheck recordingFrameSize(QSize source, std::int32_t percent);
