// One frame of a screen-cast stream copied into a QImage: the pixel orders the stream may send, its
// row stride, and the part of the buffer that holds the picture; and which frames the recording's
// ticks take. Free of PipeWire, so it is tested and measured on its own.
#pragma once

#include <QImage>
#include <QRect>
#include <array>
#include <optional>
#include <utility>
#include <vector>

// Byte order of a 32-bit pixel in memory; x is a byte to ignore.
enum class CastPixelOrder { BGRx, BGRA, RGBx, RGBA };

// Copies region (in the buffer's pixels) of the frame at bits, whose rows are stride bytes apart, into
// target as Format_RGB32, opaque: alpha is dropped, as the screen has none. target is reused when it
// has region's size and nobody else holds its pixels, else replaced. False, and target untouched,
// when the region does not fit into bytes bytes at bits or the picture cannot be allocated.
bool copyCastFrame(const uchar* bits, qsizetype bytes, qsizetype stride, CastPixelOrder order,
                   const QRect& region, QImage& target);
// Whether bytes bytes, whose rows are stride bytes apart, hold region: what copyCastFrame asks first.
bool castRegionFits(qsizetype bytes, qsizetype stride, const QRect& region);

// The stream's last two frames and how many it has delivered. The stream's frames and the recording's
// ticks come at about the same rate but beat against each other, so two frames at times fall between
// two ticks: the first tick then takes the older one and the next the newer, rather than the older
// being lost. A tick is never more than one frame behind the stream.
template <class Frame>
class RecentFrames {
public:
    // The newest frame; gives back the one that falls out (two behind), to be let go.
    std::optional<Frame> push(Frame frame) {
        ++m_delivered;
        return std::exchange(m_frames[m_delivered % 2], std::move(frame));
    }
    quint64 delivered() const { return m_delivered; }
    // Null before the first frame.
    const Frame* newest() const { return at(m_delivered); }
    // The frames kept, newest first; null where there is none.
    std::array<const Frame*, 2> kept() const {
        return {at(m_delivered), m_delivered ? at(m_delivered - 1) : nullptr};
    }
    // The frame for a tick that took frame `taken` (a serial from delivered(), 0 for none) last: the
    // one after it while that is still kept, else the newest but one; the newest again when none came.
    // serial gets the frame's number. Null when none is kept.
    const Frame* after(quint64 taken, quint64& serial) const {
        serial = m_delivered > taken + 1 ? m_delivered - 1 : m_delivered;
        return at(serial);
    }
    // Every frame kept, taken out; the count goes on.
    std::vector<Frame> takeAll() {
        std::vector<Frame> all;
        for (std::optional<Frame>& frame : m_frames) {
            if (frame) all.push_back(std::move(*frame));
            frame.reset();
        }
        return all;
    }

private:
    const Frame* at(quint64 serial) const {
        const std::optional<Frame>& frame = m_frames[serial % 2];
        return serial && frame ? &*frame : nullptr;
    }

    std::optional<Frame> m_frames[2];
    quint64 m_delivered = 0;
};
