#include "platform/portal/cast_frame.h"

#include <cstring>

namespace {

// Both loops stay plain so that the compiler vectorizes them: this runs once per frame on the
// stream's thread, 2 million pixels at 1920x1080.
// A stride the stream chose need not keep the words aligned: they are read through memcpy.
quint32 wordAt(const uchar* from, int x) {
    quint32 p;
    std::memcpy(&p, from + qsizetype(x) * 4, 4);
    return p;
}

void copyRowOpaque(const uchar* from, uchar* to, int width) {
    auto* out = reinterpret_cast<quint32*>(to);
    for (int x = 0; x < width; ++x) out[x] = wordAt(from, x) | 0xff000000u;
}

// R and B change places: R,G,B,x in memory is 0xxxBBGGRR read as a little-endian word.
void copyRowSwapped(const uchar* from, uchar* to, int width) {
    auto* out = reinterpret_cast<quint32*>(to);
    for (int x = 0; x < width; ++x) {
        const quint32 p = wordAt(from, x);
        out[x] = 0xff000000u | ((p & 0xffu) << 16) | (p & 0xff00u) | ((p >> 16) & 0xffu);
    }
}

}  // namespace

bool castRegionFits(qsizetype bytes, qsizetype stride, const QRect& region) {
    if (region.isEmpty() || region.x() < 0 || region.y() < 0) return false;
    const qsizetype rowBytes = qsizetype(region.x() + region.width()) * 4;
    // The last row needs only its pixels, not a whole stride.
    return stride >= rowBytes && qsizetype(region.y() + region.height() - 1) * stride + rowBytes <= bytes;
}

bool copyCastFrame(const uchar* bits, qsizetype bytes, qsizetype stride, CastPixelOrder order,
                   const QRect& region, QImage& target) {
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "the pixel words are read as little-endian");
    if (!bits || !castRegionFits(bytes, stride, region)) return false;
    // The copy that someone else still holds stays as it is: then a new picture, never a detach that
    // copies pixels only to overwrite them.
    if (target.size() != region.size() || target.format() != QImage::Format_RGB32 || !target.isDetached())
        target = QImage(region.size(), QImage::Format_RGB32);
    if (target.isNull()) return false;
    const bool swapped = order == CastPixelOrder::RGBx || order == CastPixelOrder::RGBA;
    const uchar* row = bits + qsizetype(region.y()) * stride + qsizetype(region.x()) * 4;
    for (int y = 0; y < region.height(); ++y, row += stride) {
        uchar* out = target.scanLine(y);
        if (swapped)
            copyRowSwapped(row, out, region.width());
        else
            copyRowOpaque(row, out, region.width());
    }
    return true;
}
