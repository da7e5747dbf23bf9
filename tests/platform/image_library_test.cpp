#include "platform/system/image_library.h"

#include <gtest/gtest.h>

#include <QDataStream>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <tuple>

#include "fakes/image_compare.h"
#include "fakes/test_files.h"
#include "test_pictures.h"

namespace {

using test_pictures::photoLike;

class ImageLibrary : public testing::Test {
protected:
    QString file(const QString& name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
    const QImage m_photo = photoLike(160, 120);
};

// PNG keeps every pixel as 8-bit RGB; GIF keeps an image of up to 256 colours exactly and comes
// close to any other.
TEST_F(ImageLibrary, ConvertsTheLoadedBitmap) {
    const QImage few = m_photo.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither)
                           .convertToFormat(QImage::Format_RGB32);
    using Convert = bool (*)(const QString&, const DibHandle&, int);
    const std::tuple<QImage, Convert, QByteArray, double> cases[] = {
        {photoLike(97, 61), DIBtoPNG, "\x89PNG", 0},
        {m_photo, DIBtoGIF, "GIF89a", 4},
        {few, DIBtoGIF, "GIF89a", 0}};
    for (const auto& [image, convert, magic, maxError] : cases) {
        SCOPED_TRACE(magic.constData());
        ASSERT_TRUE(image.save(file("in.bmp"), "BMP"));  // 24 bits, bottom-up, as writeBmp writes it
        DibHandle handle = BMPtoDIB(file("in.bmp"));
        ASSERT_TRUE(convert(file("out"), handle, 0));
        const QByteArray bytes = fileBytes(file("out"));
        EXPECT_TRUE(bytes.startsWith(magic));
        if (convert == DIBtoPNG) {
            EXPECT_EQ(bytes.mid(12, 4) + bytes.mid(24, 5), QByteArray("IHDR\x08\x02\0\0\0", 9));  // 8-bit RGB
        }
        EXPECT_LE(meanAbsError(decodeImage(file("out")), image), maxError);
    }
}

// Other BMP layouts the loader takes, built by hand: 32-bit plain and with bit fields, top-down.
TEST_F(ImageLibrary, LoaderReadsOtherBmpLayoutsAndRejectsTheRest) {
    const QImage image = photoLike(3, 2);
    auto bmp = [&](quint16 bits, quint32 compression, bool topDown, qint32 width = 3) {
        QByteArray pixels, header;
        for (int row = 0; row < 2; ++row) {
            for (int x = 0; x < 3; ++x) {
                const QRgb p = image.pixel(x, topDown ? row : 1 - row);
                const char bgr[] = {char(qBlue(p)), char(qGreen(p)), char(qRed(p)), 0};
                pixels.append(bgr, std::max(3, bits / 8));
            }
            if (bits == 24) pixels += QByteArray(3, 0);
        }
        const quint32 masks = compression == 3 ? 12 : 0;
        QDataStream out(&header, QIODevice::WriteOnly);
        out.setByteOrder(QDataStream::LittleEndian);
        out << quint16(0x4d42) << quint32(0) << quint32(0) << quint32(54 + masks) << quint32(40) << width
            << qint32(topDown ? -2 : 2) << quint16(1) << bits << compression;
        for (int i = 0; i < 5; ++i) out << quint32(0);  // sizes, resolution, colour counts
        if (masks) out << quint32(0xff0000) << quint32(0xff00) << quint32(0xff);
        return header + pixels;
    };
    const std::tuple<const char*, QByteArray, bool> cases[] = {
        {"32-bit", bmp(32, 0, false), true},
        {"32-bit fields", bmp(32, 3, false), true},
        {"24-bit top-down", bmp(24, 0, true), true},
        {"8-bit", bmp(8, 0, false), false},
        {"RLE", bmp(24, 1, false), false},
        {"no width", bmp(24, 0, false, 0), false},
        {"truncated", bmp(24, 0, false).chopped(1), false},
        {"not a BMP", "GIF89a", false}};
    for (const auto& [name, bytes, valid] : cases) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(writeFile(file("in.bmp"), bytes));
        DibHandle handle = BMPtoDIB(file("in.bmp"));
        EXPECT_EQ(DIBtoPNG(file("out.png"), handle, 0), valid);
        EXPECT_EQ(decodeImage(file("out.png")), valid ? image : QImage());
        QFile::remove(file("out.png"));
        DeleteDIB(handle);
        DeleteDIB(handle);
        EXPECT_FALSE(handle.isValid() || DIBtoGIF(file("x.gif"), handle, 0) || QFile::exists(file("x.gif")));
    }
    EXPECT_FALSE(BMPtoDIB(file("missing.bmp")).isValid());
}

}  // namespace
