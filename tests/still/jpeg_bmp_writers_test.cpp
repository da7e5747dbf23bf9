#include "still/logic/jpeg_bmp_writers.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <csignal>
#include <functional>
#include <random>

#include "core/logic/numbered_name.h"
#include "core/logic/save_format.h"
#include "fakes/image_compare.h"
#include "fakes/small_disk.h"
#include "fakes/test_files.h"
#include "platform/system/image_library.h"
#include "still/logic/write_image.h"
#include "still/ui/save_picture_dialog.h"

namespace {

// Smooth colour gradients with grain, cut by hard-edged dark blocks and bright bars. Grain and
// edges change brightness only, as in most photos: colour edges would be blurred by the 2x2
// chroma sampling of libjpeg's defaults at any quality.
QImage photoLike(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> noise(-6, 6);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int light = noise(random);
            if ((x / 16 + y / 16) % 5 == 0) light -= 50;
            if (x % 40 < 3) light += 70;
            image.setPixel(x, y,
                           qRgb(60 + 120 * x / width + light, 60 + 120 * y / height + light,
                                60 + 120 * (x + y) / (width + height) + light));
        }
    }
    return image;
}

class ImageFiles : public testing::Test {
protected:
    QString file(const QString& name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
    const QImage m_photo = photoLike(160, 120);
};
class JpegWriter : public ImageFiles {};
class BmpWriter : public ImageFiles {};
class FailedWrite : public ImageFiles {};

// ImageMagick drives the same libjpeg with the float DCT, forced baseline tables and 2x2 chroma
// sampling: its file must decode to the same pixels at the quality our setting stands for.
TEST_F(JpegWriter, EncodesAtTheSettingsQualityWithTheFloatDct) {
    ASSERT_TRUE(m_photo.save(file("in.png")));
    const std::pair<int, int> settingAndQuality[] = {{100, 100}, {75, 75}, {0, 1}, {356, 100}, {300, 44}};
    for (const auto& [setting, quality] : settingAndQuality) {
        SCOPED_TRACE(setting);
        ASSERT_TRUE(writeJpeg(m_photo, file("ours.jpg"), setting));
        ASSERT_EQ(QProcess::execute("convert",
                                    {file("in.png"), "-quality", QString::number(quality), "-define",
                                     "jpeg:dct-method=float", "-sampling-factor", "2x2", file("ref.jpg")}),
                  0);
        EXPECT_EQ(decodeImage(file("ours.jpg")), decodeImage(file("ref.jpg")));
    }
    QList<QByteArray> files;
    for (int quality : {0, 1, 25, 50, 75, 100}) {
        ASSERT_TRUE(writeJpeg(m_photo, file("q.jpg"), quality));
        files.append(fileBytes(file("q.jpg")));
    }
    EXPECT_LE(meanAbsError(decodeImage(file("q.jpg")), m_photo), 1.0);
    EXPECT_EQ(files[0], files[1]);  // 0 encodes as 1
    for (int i = 2; i < files.size(); ++i) EXPECT_LT(files[i - 1].size(), files[i].size()) << i;
}

// Walks the markers up to the scan: JFIF APP0 first, 8-bit tables, one baseline SOF with 3 components.
TEST_F(JpegWriter, IsBaselineSequentialJfifWithThreeComponents) {
    ASSERT_TRUE(writeJpeg(m_photo, file("q.jpg"), 1));  // quality 1 would need 16-bit tables unforced
    const QByteArray jpeg = fileBytes(file("q.jpg"));
    ASSERT_TRUE(jpeg.startsWith("\xff\xd8\xff\xe0"));
    EXPECT_EQ(jpeg.mid(6, 5), QByteArray("JFIF\0", 5));
    QList<std::uint8_t> frames;
    for (int at = 2; at + 4 <= jpeg.size() && std::uint8_t(jpeg[at + 1]) != 0xda;) {
        const std::uint8_t marker = jpeg[at + 1];
        const int length = std::uint8_t(jpeg[at + 2]) << 8 | std::uint8_t(jpeg[at + 3]);
        if (marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xcc) {
            frames.append(marker);
            EXPECT_EQ(jpeg[at + 4], 8);  // sample precision
            EXPECT_EQ(jpeg[at + 9], 3);  // components
        }
        if (marker == 0xdb) {
            EXPECT_EQ(std::uint8_t(jpeg[at + 4]) >> 4, 0);  // 8-bit table
        }
        at += 2 + length;
    }
    EXPECT_EQ(frames, QList<std::uint8_t>{0xc0});
}

TEST_F(BmpWriter, KeepsEveryPixelAndPadsRowsBottomUp) {
    for (int width = 1; width <= 5; ++width) {
        SCOPED_TRACE(width);
        const QImage image = photoLike(width, 3);
        ASSERT_TRUE(writeBmp(image, file("b.bmp")));
        const QByteArray bmp = fileBytes(file("b.bmp"));
        const int stride = (width * 3 + 3) / 4 * 4;
        ASSERT_EQ(bmp.size(), 54 + stride * 3);
        EXPECT_TRUE(bmp.startsWith("BM"));
        // Size, pixel offset, header size, width, height (bottom-up), planes and bits, BI_RGB, data size.
        const std::pair<int, quint32> fields[] = {
            {2, 54 + stride * 3}, {10, 54}, {14, 40},        {18, width}, {22, 3},
            {26, 1 | 24 << 16},   {30, 0},  {34, stride * 3}};
        for (const auto& [at, value] : fields)
            EXPECT_EQ(qFromLittleEndian<quint32>(bmp.constData() + at), value) << at;
        for (int row = 0; row < 3; ++row)
            EXPECT_EQ(bmp.mid(54 + row * stride + width * 3, stride - width * 3),
                      QByteArray(stride - width * 3, 0));
        EXPECT_EQ(decodeImage(file("b.bmp")), image);
        ASSERT_TRUE(
            writeBmp(image.convertToFormat(QImage::Format_RGB888), file("b.bmp")));  // other formats too
        EXPECT_EQ(decodeImage(file("b.bmp")), image);
    }
}

// A file-size limit makes every write past 4 KiB fail midway, as a full disk would.
TEST_F(FailedWrite, LeavesNoFile) {
    const QImage image = photoLike(300, 200);
    ASSERT_TRUE(writeBmp(image, file("in.bmp")));
    const DibHandle handle = BMPtoDIB(file("in.bmp"));
    const std::pair<const char*, std::function<bool(const QString&)>> writers[] = {
        {"jpeg", [&](const QString& p) { return writeJpeg(image, p, 100); }},
        {"bmp", [&](const QString& p) { return writeBmp(image, p); }},
        {"png", [&](const QString& p) { return DIBtoPNG(p, handle, 0); }},
        {"gif", [&](const QString& p) { return DIBtoGIF(p, handle, 0); }}};
    for (const auto& [name, write] : writers) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(write(file("missing/out")) || QFileInfo::exists(file("missing")));
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 4096;
        setrlimit(RLIMIT_FSIZE, &small);
        const bool written = write(file("out"));
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_FALSE(written || QFile::exists(file("out")));
    }
}

class WriteImage : public ImageFiles {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir(m_dir.path()).mkpath("save") && QDir(m_dir.path()).mkpath("out"));
    }
    QString save() const { return file("save"); }
    QStringList saveFolder() const { return QDir(save()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries); }
};

// Each stored code as the program uses it: the numbered names' extension (which the search for a
// free number knows), the save-as dialog's filter and suffix, and the file writeimage leaves, as Qt's
// readers find it whatever the name. A code of no format names numbered pictures as PNG,
// preselects no filter and writes nothing. Only GIF and PNG use the temporary bitmap.
TEST_F(WriteImage, EachCodeNamesFiltersAndWritesItsFormat) {
    const QStringList filters = QtSavePictureDialog().dialog().nameFilters();
    const struct {
        int code;
        QString extension;
        QByteArray readAs;  // none: no filter and no file
        double maxError;
    } rows[] = {{1, ".jpg", "jpeg", 1.0}, {2, ".bmp", "bmp", 0}, {3, ".gif", "gif", 4.0},
                {4, ".png", "png", 0},    {0, ".png", {}, 0},    {5, ".png", {}, 0},
                {255, ".png", {}, 0}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.code);
        EXPECT_EQ(QLatin1String(numberedSaveFormat(r.code).extension), r.extension);
        const SaveFormatRow* format = findSaveFormat(r.code);
        ASSERT_EQ(format != nullptr, !r.readAs.isEmpty());
        if (format) {
            EXPECT_TRUE(filters.value(format->filterIndex - 1).endsWith("(*" + r.extension + ")"));
            EXPECT_EQ("." + format->suffix(), r.extension);
        }

        ASSERT_TRUE(writeFile(temporaryBitmapPath(save()), "stale"));  // overwritten, never read, deleted
        const QString path = numberedPath(file("out"), "shot", 1, r.extension);
        ASSERT_EQ(writeimage(m_photo, path, r.code, 100, save()), WriteResult::Written);
        QImageReader reader(path);
        reader.setDecideFormatFromContent(true);
        EXPECT_EQ(reader.format(), r.readAs);
        if (format) {
            EXPECT_LE(meanAbsError(reader.read().convertToFormat(QImage::Format_RGB32), m_photo), r.maxError);
        }
        EXPECT_EQ(firstFreeNumber(file("out"), "shot", 1), format ? 2 : 1);
        const bool viaBitmap = r.readAs == "gif" || r.readAs == "png";
        EXPECT_EQ(saveFolder(), viaBitmap ? QStringList{} : QStringList{"kadrel.bmp"});
        QFile::remove(path);
        QFile::remove(temporaryBitmapPath(save()));
    }
    // A GIF saved under the temporary file's own name stays.
    ASSERT_EQ(writeimage(m_photo, temporaryBitmapPath(save()), 3, 100, save()), WriteResult::Written);
    EXPECT_TRUE(fileBytes(temporaryBitmapPath(save())).startsWith("GIF89a"));
}

TEST_F(WriteImage, CannotCreateLeavesNothing) {
    ASSERT_TRUE(QDir(save()).mkdir("kadrel.bmp"));  // blocks exactly the temporary file
    const struct {
        const char* name;
        QImage image;
        std::uint8_t type;
        QString path, saveDirectory;
        WriteResult result;
    } cases[] = {
        {"GIF, save folder missing", m_photo, 3, file("out/a.gif"), file("none"), WriteResult::CannotCreate},
        {"PNG, temporary file blocked", m_photo, 4, file("out/a.png"), save(), WriteResult::CannotCreate},
        {"JPEG ignores the save folder", m_photo, 1, file("out/a.jpg"), file("none"), WriteResult::Written},
        {"JPEG, output folder missing", m_photo, 1, file("none/a.jpg"), save(), WriteResult::CannotCreate},
        {"BMP, output folder missing", m_photo, 2, file("none/a.bmp"), save(), WriteResult::CannotCreate},
        {"PNG, output folder missing", m_photo, 4, file("none/a.png"), file("out"),
         WriteResult::CannotCreate},
        {"empty JPEG", QImage(), 1, file("out/a"), file("out"), WriteResult::CannotCreate},
        {"empty BMP", QImage(0, 5, QImage::Format_RGB32), 2, file("out/a"), file("out"),
         WriteResult::CannotCreate},
        {"empty GIF", QImage(), 3, file("out/a"), file("out"), WriteResult::CannotCreate},
        {"empty PNG", QImage(), 4, file("out/a"), file("out"), WriteResult::CannotCreate},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(writeimage(c.image, c.path, c.type, 100, c.saveDirectory), c.result);
        EXPECT_EQ(QFile::exists(c.path), c.result == WriteResult::Written);
        QFile::remove(c.path);
        EXPECT_TRUE(QDir(file("out")).isEmpty()) << QDir(file("out")).entryList().join(',').toStdString();
        EXPECT_FALSE(QFileInfo::exists(file("none")));
        EXPECT_EQ(saveFolder(), QStringList{"kadrel.bmp"});
    }
}

// Room for the temporary bitmap but not for the picture as well: the save fails and leaves nothing.
TEST_F(WriteImage, AFullDiskFailsTheConversionAndLeavesNothing) {
    constexpr qint64 kPage = 4096;
    const qint64 bitmapBytes = 54 + qint64(m_photo.width()) * 3 * m_photo.height();
    SmallDisk disk((bitmapBytes + kPage - 1) / kPage * kPage + kPage);
    REQUIRE_SMALL_DISK(disk);
    for (const std::uint8_t type : {3, 4}) {
        EXPECT_EQ(writeimage(m_photo, disk.filePath("shot"), type, 100, disk.path()),
                  WriteResult::CannotCreate);
        EXPECT_TRUE(QDir(disk.path()).isEmpty()) << QDir(disk.path()).entryList().join(',').toStdString();
    }
}

}  // namespace
