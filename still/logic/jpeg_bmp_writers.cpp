#include "still/logic/jpeg_bmp_writers.h"

#include <QFile>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>
// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "core/logic/bmp_header.h"
#include "platform/system/file_replace.h"

#ifndef JCS_EXTENSIONS
#error "libjpeg-turbo's colour space extensions are needed to encode straight from 32-bit rows"
#endif

namespace {

constexpr int kMaxJpegSide = JPEG_MAX_DIMENSION;

// The byte order of QImage::Format_RGB32 pixels in memory; libjpeg-turbo reads it as is and
// ignores the fourth byte, so the encoder still gets three colour components.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr J_COLOR_SPACE kRgb32ColorSpace = JCS_EXT_BGRX;
#else
constexpr J_COLOR_SPACE kRgb32ColorSpace = JCS_EXT_XRGB;
#endif

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Closes file and removes it unless everything before and the close itself succeeded.
bool finish(FilePtr file, const QByteArray& path, bool ok) {
    ok = std::fclose(file.release()) == 0 && ok;
    if (!ok) removePartialFile(path);
    return ok;
}

// 32-bit rows in memory order B, G, R, X (little-endian); alpha, if any, is ignored.
QImage toRgb32(const QImage& image) {
    const QImage::Format format = image.format();
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32
               ? image
               : image.convertToFormat(QImage::Format_RGB32);
}

// libjpeg reports a fatal error by calling error_exit, which by default ends the process. Ours
// jumps back to the setjmp in compress(); the manager is the first member, so the pointer
// libjpeg hands over is also the pointer to the whole struct.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void jumpOnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

// Warnings would go to stderr; a failed write is reported through the result instead.
void dropMessage(j_common_ptr) {}

// Owns the compressor from before its creation: destroying a zeroed or half-created one is safe.
class JpegCompressor {
public:
    JpegCompressor() {
        m_info.err = jpeg_std_error(&m_errors.manager);
        m_errors.manager.error_exit = jumpOnError;
        m_errors.manager.output_message = dropMessage;
    }
    ~JpegCompressor() { jpeg_destroy_compress(&m_info); }
    JpegCompressor(const JpegCompressor&) = delete;
    JpegCompressor& operator=(const JpegCompressor&) = delete;

    jpeg_compress_struct m_info{};
    JpegErrors m_errors{};
};

// Runs libjpeg from creation to the end of the file; false when libjpeg reported an error.
// Nothing here may have a destructor: an error leaves through longjmp, which would skip it.
bool compress(JpegCompressor& jpeg, FILE* file, JSAMPARRAY rows, int width, int height, int quality) {
    jpeg_compress_struct& info = jpeg.m_info;
    if (setjmp(jpeg.m_errors.jump)) return false;
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 4;
    info.in_color_space = kRgb32ColorSpace;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    info.dct_method = JDCT_FLOAT;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height)
        jpeg_write_scanlines(&info, rows + info.next_scanline, info.image_height - info.next_scanline);
    jpeg_finish_compress(&info);
    return true;
}

}  // namespace

bool writeJpeg(const QImage& image, const QString& path, int quality) {
    if (image.isNull() || image.width() > kMaxJpegSide || image.height() > kMaxJpegSide) return false;
    const QImage pixels = toRgb32(image);
    if (pixels.isNull()) return false;
    // libjpeg only reads the rows; its interface just has no const.
    std::vector<JSAMPROW> rows(static_cast<std::size_t>(pixels.height()));
    for (int y = 0; y < pixels.height(); ++y) rows[y] = const_cast<JSAMPROW>(pixels.constScanLine(y));

    const QByteArray name = QFile::encodeName(path);
    FilePtr file(std::fopen(name.constData(), "wb"));
    if (!file) return false;
    std::setvbuf(file.get(), nullptr, _IOFBF, 1 << 16);
    JpegCompressor jpeg;
    // libjpeg itself raises a quality of 0 to 1 and lowers one above 100 to 100.
    const bool ok = compress(jpeg, file.get(), rows.data(), pixels.width(), pixels.height(), quality & 0xff);
    return finish(std::move(file), name, ok);
}

bool writeBmp(const QImage& image, const QString& path) {
    if (image.isNull()) return false;
    const QImage pixels = toRgb32(image);
    if (pixels.isNull()) return false;
    const std::size_t width = static_cast<std::size_t>(pixels.width());
    const std::size_t height = static_cast<std::size_t>(pixels.height());
    const std::size_t stride = (width * 3 + 3) / 4 * 4;
    const std::size_t total = kBmpHeaderBytes + stride * height;
    if (total > UINT32_MAX) return false;

    auto bytes = std::make_unique_for_overwrite<std::uint8_t[]>(total);
    fillBmpHeader(bytes.get(), pixels.width(), pixels.height(), 24, kBmpHeaderBytes,
                  static_cast<std::uint32_t>(stride * height));
    for (std::size_t y = 0; y < height; ++y) {
        std::uint8_t* out = bytes.get() + kBmpHeaderBytes + (height - 1 - y) * stride;
        const auto* in = reinterpret_cast<const QRgb*>(pixels.constScanLine(static_cast<int>(y)));
        for (std::size_t x = 0; x < width; ++x, out += 3) {
            out[0] = static_cast<std::uint8_t>(qBlue(in[x]));
            out[1] = static_cast<std::uint8_t>(qGreen(in[x]));
            out[2] = static_cast<std::uint8_t>(qRed(in[x]));
        }
        for (std::size_t pad = width * 3; pad < stride; ++pad) *out++ = 0;
    }

    const QByteArray name = QFile::encodeName(path);
    FilePtr file(std::fopen(name.constData(), "wb"));
    if (!file) return false;
    const bool ok = std::fwrite(bytes.get(), 1, total, file.get()) == total;
    return finish(std::move(file), name, ok);
}
