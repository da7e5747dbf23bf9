#include "raw_avi.h"

#include <gtest/gtest.h>

#include "platform/avi/avi_file_writer.h"

Bytes dibSample(int width, int height, int bits,
                const std::function<void(int x, int y, std::uint8_t* out)>& pixel) {
    const std::size_t bpp = std::size_t(bits / 8);
    const std::size_t stride = (width * bpp + 3) / 4 * 4;
    Bytes data(std::size_t((width + 3) / 4) * 4 * height * bpp, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixel(x, y, &data[(height - 1 - y) * stride + x * bpp]);
    return data;
}

bool writeRawAvi(const QString& path, int width, int height, int bits, std::uint32_t rate, int frames,
                 const std::function<const Bytes&(int i)>& sampleOf) {
    BitmapInfoHeader format;
    format.width = width;
    format.height = height;
    format.bitCount = std::uint16_t(bits);
    AviFileWriter writer;
    bool ok = writer.create(path.toStdString()) && writer.createStream(width, height, rate, format);
    for (int i = 0; ok && i < frames; ++i) {
        const Bytes& sample = sampleOf(i);
        ok = writer.writeFrame(sample.data(), std::uint32_t(sample.size()));
    }
    ok = writer.close() == AviFileWriter::Closed::Complete && ok;
    EXPECT_TRUE(ok) << path.toStdString();
    return ok;
}
