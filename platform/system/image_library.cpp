#include "platform/system/image_library.h"

#include <fcntl.h>
#include <gif_lib.h>
#include <libimagequant.h>
#include <spng.h>
#include <unistd.h>
#include <zlib.h>

#include <QFile>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/system/file_replace.h"

// Pixels packed as R, G, B bytes, rows top-down without padding: the layout the PNG encoder takes
// as it is, so the time-critical PNG path converts nothing after loading.
struct DibImage {
    int width = 0;
    int height = 0;
    std::unique_ptr<std::uint8_t[]> rgb;
};

DibHandle::DibHandle() = default;
DibHandle::DibHandle(std::unique_ptr<const DibImage> image) : m_image(std::move(image)) {}
DibHandle::DibHandle(DibHandle&& other) noexcept = default;
DibHandle& DibHandle::operator=(DibHandle&& other) noexcept = default;
DibHandle::~DibHandle() = default;

namespace {

// PNG settings, measured on 1920 x 1080 screens (a desktop with windows and text, a text-only
// screen, a noisy photo) against what scrot writes there (zlib level 2, libpng trying all five
// filters per row): zlib level 2 choosing among Sub, Up and Average per row gives files 0-1 %
// smaller than scrot's, in about libpng's encoding time; libspng trying all five filters takes
// half as long again. Level 3 saves another 4 % but takes a third longer, which would make the
// whole capture-to-file path slower than scrot's. Paeth costs the most per row and seldom wins
// once Average is tried; adding None changed no file; memory level 9 gained nothing. The
// strategy stays Z_DEFAULT_STRATEGY (zlib ignores it at levels 1-3; Z_RLE is faster but 15-35 %
// larger).
constexpr int kPngCompressionLevel = 2;
constexpr int kPngFilterChoice = SPNG_FILTER_CHOICE_SUB | SPNG_FILTER_CHOICE_UP | SPNG_FILTER_CHOICE_AVG;

// GIF colour reduction: the fastest quantiser setting (speed 10 takes ~70 ms at 1080p, speed 8
// four times that for hardly better colours), and no dithering: captures are mostly flat areas and
// text, which dithering speckles, and the undithered map is faster and compresses better in LZW.
// Gradients band instead, the usual trade of a 256-colour format.
constexpr int kGifQuantiserSpeed = 10;
constexpr float kGifDitheringLevel = 0.0f;
constexpr int kGifMaxSide = 65535;

constexpr std::uint16_t kBmpMagic = 0x4d42;  // "BM"
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

struct SpngFree {
    void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};
struct LiqFree {
    void operator()(liq_attr* attr) const { liq_attr_destroy(attr); }
    void operator()(liq_image* image) const { liq_image_destroy(image); }
    void operator()(liq_result* result) const { liq_result_destroy(result); }
};
struct GifMapFree {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
// Closing is also how giflib frees the writer; the success path closes explicitly to see the result.
struct GifClose {
    void operator()(GifFileType* gif) const { EGifCloseFile(gif, nullptr); }
};

std::uint16_t u16(const char* p) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(p[0]) | static_cast<std::uint8_t>(p[1]) << 8);
}
std::uint32_t u32(const char* p) { return std::uint32_t(u16(p)) | std::uint32_t(u16(p + 2)) << 16; }

std::unique_ptr<const DibImage> parseBmp(const QByteArray& file) {
    constexpr qsizetype kFileHeader = 14;
    constexpr qsizetype kInfoHeader = 40;
    if (file.size() < kFileHeader + kInfoHeader || u16(file.constData()) != kBmpMagic) return nullptr;
    const char* info = file.constData() + kFileHeader;
    const std::uint32_t pixelOffset = u32(file.constData() + 10);
    const std::uint32_t headerSize = u32(info);
    const std::int32_t width = static_cast<std::int32_t>(u32(info + 4));
    const std::int32_t rawHeight = static_cast<std::int32_t>(u32(info + 8));
    const std::uint16_t planes = u16(info + 12);
    const std::uint16_t bits = u16(info + 14);
    const std::uint32_t compression = u32(info + 16);
    if (headerSize < kInfoHeader || planes != 1 || (bits != 24 && bits != 32)) return nullptr;
    if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN) return nullptr;
    if (compression == kBiBitfields) {
        // Only the layout of a plain 32-bit file written with explicit masks: B, G, R, unused.
        if (bits != 32 || file.size() < kFileHeader + kInfoHeader + 12) return nullptr;
        const char* masks = info + kInfoHeader;
        if (u32(masks) != 0x00ff0000 || u32(masks + 4) != 0x0000ff00 || u32(masks + 8) != 0x000000ff)
            return nullptr;
    } else if (compression != kBiRgb) {
        return nullptr;
    }
    const bool bottomUp = rawHeight > 0;
    const std::int64_t height = bottomUp ? rawHeight : -std::int64_t(rawHeight);
    const std::int64_t bytesPerPixel = bits / 8;
    const std::int64_t stride = (width * std::int64_t(bits) + 31) / 32 * 4;
    // Every row must be in the file; dividing keeps huge header values from overflowing.
    if (pixelOffset < kFileHeader + headerSize || pixelOffset > file.size() ||
        height > (file.size() - pixelOffset) / stride)
        return nullptr;

    auto image = std::make_unique<DibImage>();
    image->width = width;
    image->height = static_cast<int>(height);
    image->rgb = std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t(width) * std::size_t(height) * 3);
    const auto* pixels = reinterpret_cast<const std::uint8_t*>(file.constData()) + pixelOffset;
    std::uint8_t* out = image->rgb.get();
    for (std::int64_t y = 0; y < height; ++y) {
        const std::uint8_t* in = pixels + (bottomUp ? height - 1 - y : y) * stride;
        for (std::int32_t x = 0; x < width; ++x, in += bytesPerPixel, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }
    return image;
}

// When the image has at most 256 colours, they are the palette as they are: no quantiser error,
// and a flat screen skips the quantiser's cost. False as soon as a 257th colour turns up.
bool exactPalette(const DibImage& image, std::uint8_t* indices, liq_palette& palette) {
    constexpr int kSlotBits = 10;  // 1024 slots for 256 colours keep the probes short
    constexpr std::uint32_t kSlotMask = (1u << kSlotBits) - 1;
    std::uint32_t keys[1u << kSlotBits] = {};  // colour + 1, so that 0 marks a free slot
    std::uint8_t values[1u << kSlotBits];
    palette.count = 0;
    std::uint32_t lastKey = 0;
    std::uint8_t lastIndex = 0;
    const std::size_t pixels = std::size_t(image.width) * std::size_t(image.height);
    for (std::size_t i = 0; i < pixels; ++i) {
        const std::uint8_t* p = &image.rgb[i * 3];
        const std::uint32_t key = (std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2]) + 1;
        if (key != lastKey) {
            std::uint32_t slot = (key * 2654435761u) >> (32 - kSlotBits);
            while (keys[slot] != 0 && keys[slot] != key) slot = (slot + 1) & kSlotMask;
            if (keys[slot] == 0) {
                if (palette.count == 256) return false;
                keys[slot] = key;
                values[slot] = static_cast<std::uint8_t>(palette.count);
                palette.entries[palette.count++] = liq_color{p[0], p[1], p[2], 0xff};
            }
            lastKey = key;
            lastIndex = values[slot];
        }
        indices[i] = lastIndex;
    }
    return true;
}

// Quantises the image to at most 256 colours: fills indices (one byte a pixel) and the palette.
bool quantise(const DibImage& image, std::uint8_t* indices, liq_palette& palette) {
    const std::size_t pixels = std::size_t(image.width) * std::size_t(image.height);
    const std::unique_ptr<liq_attr, LiqFree> attr(liq_attr_create());
    if (!attr || liq_set_speed(attr.get(), kGifQuantiserSpeed) != LIQ_OK ||
        liq_set_max_colors(attr.get(), 256) != LIQ_OK)
        return false;
    auto rgba = std::make_unique_for_overwrite<std::uint8_t[]>(pixels * 4);
    for (std::size_t i = 0; i < pixels; ++i) {
        std::memcpy(&rgba[i * 4], &image.rgb[i * 3], 3);
        rgba[i * 4 + 3] = 0xff;
    }
    const std::unique_ptr<liq_image, LiqFree> input(
        liq_image_create_rgba(attr.get(), rgba.get(), image.width, image.height, 0));
    liq_result* raw = nullptr;
    if (!input || liq_image_quantize(input.get(), attr.get(), &raw) != LIQ_OK) return false;
    const std::unique_ptr<liq_result, LiqFree> result(raw);
    if (liq_set_dithering_level(result.get(), kGifDitheringLevel) != LIQ_OK ||
        liq_write_remapped_image(result.get(), input.get(), indices, pixels) != LIQ_OK)
        return false;
    palette = *liq_get_palette(result.get());
    return palette.count >= 1 && palette.count <= 256;
}

bool writeGifFile(const QByteArray& path, const DibImage& image, std::uint8_t* indices,
                  const liq_palette& palette) {
    // A GIF colour table holds a power of two entries; the unused ones stay black.
    const int bitsPerPixel = std::max(1, GifBitSize(static_cast<int>(palette.count)));
    GifColorType colours[256] = {};
    for (unsigned int i = 0; i < palette.count; ++i)
        colours[i] = GifColorType{palette.entries[i].r, palette.entries[i].g, palette.entries[i].b};
    const std::unique_ptr<ColorMapObject, GifMapFree> map(GifMakeMapObject(1 << bitsPerPixel, colours));
    if (!map) return false;

    // Opened here rather than by EGifOpenFileName, which creates files readable by their owner
    // only; the other formats get the usual permissions (0666 less the umask), so GIFs do too.
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    std::unique_ptr<GifFileType, GifClose> gif(EGifOpenFileHandle(fd, nullptr));
    if (!gif) {
        ::close(fd);
        removePartialFile(path);
        return false;
    }
    EGifSetGifVersion(gif.get(), true);
    bool ok = EGifPutScreenDesc(gif.get(), image.width, image.height, 8, 0, map.get()) == GIF_OK &&
              EGifPutImageDesc(gif.get(), 0, 0, image.width, image.height, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < image.height; ++y)
        ok = EGifPutLine(gif.get(), indices + std::size_t(y) * std::size_t(image.width), image.width) ==
             GIF_OK;
    ok = EGifCloseFile(gif.release(), nullptr) == GIF_OK && ok;
    if (!ok) removePartialFile(path);
    return ok;
}

}  // namespace

DibHandle BMPtoDIB(const QString& bmpPath) {
    QFile file(bmpPath);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return {};
    return DibHandle(parseBmp(bytes));
}

bool DIBtoGIF(const QString& outPath, const DibHandle& handle, int /*reserved*/) {
    const DibImage* image = handle.image();
    if (!image || image->width > kGifMaxSide || image->height > kGifMaxSide) return false;
    // Quantised before the file is created, so that a failure there leaves nothing behind.
    auto indices = std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t(image->width) *
                                                                  std::size_t(image->height));
    liq_palette palette{};
    if (!exactPalette(*image, indices.get(), palette) && !quantise(*image, indices.get(), palette))
        return false;
    return writeGifFile(QFile::encodeName(outPath), *image, indices.get(), palette);
}

bool DIBtoPNG(const QString& outPath, const DibHandle& handle, int /*reserved*/) {
    const DibImage* image = handle.image();
    if (!image) return false;
    const QByteArray path = QFile::encodeName(outPath);
    FilePtr file(std::fopen(path.constData(), "wb"));
    if (!file) return false;
    std::setvbuf(file.get(), nullptr, _IOFBF, 1 << 16);

    const std::unique_ptr<spng_ctx, SpngFree> encoder(spng_ctx_new(SPNG_CTX_ENCODER));
    spng_ihdr header{};
    header.width = static_cast<std::uint32_t>(image->width);
    header.height = static_cast<std::uint32_t>(image->height);
    header.bit_depth = 8;
    header.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
    const std::size_t size = std::size_t(image->width) * std::size_t(image->height) * 3;
    bool ok =
        encoder && spng_set_png_file(encoder.get(), file.get()) == 0 &&
        spng_set_ihdr(encoder.get(), &header) == 0 &&
        spng_set_option(encoder.get(), SPNG_IMG_COMPRESSION_LEVEL, kPngCompressionLevel) == 0 &&
        spng_set_option(encoder.get(), SPNG_IMG_COMPRESSION_STRATEGY, Z_DEFAULT_STRATEGY) == 0 &&
        spng_set_option(encoder.get(), SPNG_FILTER_CHOICE, kPngFilterChoice) == 0 &&
        spng_encode_image(encoder.get(), image->rgb.get(), size, SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) == 0;
    ok = std::fclose(file.release()) == 0 && ok;
    if (!ok) removePartialFile(path);
    return ok;
}

void DeleteDIB(DibHandle& handle) { handle = DibHandle(); }
