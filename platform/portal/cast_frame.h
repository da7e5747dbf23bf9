// One frame of a screen-cast stream copied into a QImage: the pixel orders the stream may send, its
// row stride, and the part of the buffer that holds the picture; and the frames kept for the
// recording's ticks. Free of PipeWire, so it is tested and measured on its own.
#pragma once

#include <QImage>
#include <QRect>

// Byte order of a 32-bit pixel in memory; x is a byte to ignore.
enum class CastPixelOrder { BGRx, BGRA, RGBx, RGBA };

// Copies region (in the buffer's pixels) of the frame at bits, whose rows are stride bytes apart, into
// target as Format_RGB32, opaque: alpha is dropped, as the screen has none. target is reused when it
// has region's size and nobody else holds its pixels, else replaced. False, and target untouched,
// when the region does not fit into bytes bytes at bits or the picture cannot be allocated.
bool copyCastFrame(const uchar* bits, qsizetype bytes, qsizetype stride, CastPixelOrder order,
                   const QRect& region, QImage& target);

// The stream's last two frames and how many it has delivered. The stream's frames and the recording's
// ticks come at about the same rate but beat against each other, so two frames at times fall between
// two ticks: the first tick then takes the older one and the next the newer, rather than the older
// being lost. A tick is never more than one frame behind the stream.
class RecentFrames {
public:
    // Where the next frame is copied (see copyCastFrame); it holds an older frame that may be reused.
    QImage& spare() { return m_spare; }
    // The spare picture becomes the newest frame.
    void pushSpare();
    quint64 delivered() const { return m_delivered; }
    // Null before the first frame.
    QImage newest() const;
    // The frame for a tick that took frame `taken` (a serial from delivered(), 0 for none) last: the
    // one after it while that is still kept, else the newest but one; the newest again when none came.
    // serial gets the frame's number.
    QImage after(quint64 taken, quint64& serial) const;

private:
    QImage& slot(quint64 serial) { return m_frames[serial % 2]; }
    const QImage& slot(quint64 serial) const { return m_frames[serial % 2]; }

    QImage m_frames[2];
    QImage m_spare;
    quint64 m_delivered = 0;
};
