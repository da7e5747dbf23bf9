#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "fakes/avi_module.h"
#include "fakes/image_compare.h"
#include "fakes/media_probe.h"
#include "fakes/raw_avi.h"

namespace {

constexpr int kWidth = 321, kHeight = 241, kRate = 15;

// The 5-5-5 components of pixel (x, y), top row 0, of frame i: detailed enough that lossy
// encoders lose something and lossless ones have something to keep.
int red(int x, int, int i) { return (x * 3 + i * 5) & 31; }
int green(int x, int y, int) { return (y * 2 + x / 7) & 31; }
int blue(int x, int y, int i) { return ((x ^ y) + i) & 31; }

// A 16-bit source as the recorder writes it.
QString writeSource(const QTemporaryDir& dir, const QString& name, int frames) {
    const QString path = dir.filePath(name);
    Bytes sample;
    writeRawAvi(path, kWidth, kHeight, 16, kRate, frames, [&](int i) -> const Bytes& {
        return sample = dibSample(kWidth, kHeight, 16, [&](int x, int y, std::uint8_t* out) {
                   const int v = red(x, y, i) << 10 | green(x, y, i) << 5 | blue(x, y, i);
                   out[0] = std::uint8_t(v);
                   out[1] = std::uint8_t(v >> 8);
               });
    });
    return path;
}

std::unique_ptr<AviSource> openSource(const QString& path) {
    AviSource::Status status;
    auto source = aviLibrary().openSource(path.toStdString(), status);
    EXPECT_EQ(status, AviSource::Status::Ok);
    return source;
}

int save(const QString& from, const QString& to, const AviSaveOptions& options,
         std::vector<int>* seen = nullptr, int stopAt = 101) {
    auto source = openSource(from);
    if (!source) return -1;
    return aviLibrary().save(to.toStdString(), *source, options, [&](int percent) {
        if (seen) seen->push_back(percent);
        return percent >= stopAt ? 1 : 0;
    });
}

TEST(AviSave, EveryListedEncoderWritesAllFramesOfAnOddSizeWithEdgesRepeated) {
    QTemporaryDir dir;
    const QString source = writeSource(dir, "src.avi", 5);
    std::set<std::string> names;
    for (const AviEncoder& encoder : aviLibrary().encoders()) {
        SCOPED_TRACE(encoder.name);
        names.insert(encoder.name);
        const QString out = dir.filePath(QString::fromStdString(encoder.name) + ".avi");
        ASSERT_EQ(save(source, out, {.encoder = encoder.name}), 0);
        auto p = probeVideo(out);
        const std::string codec = encoder.name == "libxvid"   ? "mpeg4"
                                  : encoder.name == "msmpeg4" ? "msmpeg4v3"
                                  : encoder.name == "libx264" ? "h264"
                                                              : encoder.name;
        EXPECT_EQ(p["codec_name"], codec);
        EXPECT_EQ(p["codec_tag_string"], std::string(reinterpret_cast<const char*>(&encoder.fourcc), 4));
        EXPECT_EQ(p["nb_read_frames"], "5");
        EXPECT_EQ(p["r_frame_rate"], "15/1");
        if (encoder.name == "libx264") {
            EXPECT_EQ(p["pix_fmt"], "yuv420p");  // what every player shows
        }
        const int width = std::stoi(p["width"]), height = std::stoi(p["height"]);
        EXPECT_TRUE(width >= kWidth && width <= 336 && height >= kHeight && height <= 256)
            << width << "x" << height;
        if (width == kWidth && height == kHeight) continue;
        // The padding repeats the last column and row: no dark edge, even after lossy coding.
        const QByteArray gray = runTool("ffmpeg", {"-v", "error", "-i", out, "-frames:v", "1", "-f",
                                                   "rawvideo", "-pix_fmt", "gray", "-"});
        ASSERT_EQ(gray.size(), width * height);
        const auto* g = reinterpret_cast<const uchar*>(gray.constData());
        int worst = 0;
        for (int y = 0; y < height; ++y)
            for (int x = y < kHeight ? kWidth : 0; x < width; ++x)
                worst =
                    std::max(worst, std::abs(g[y * width + x] -
                                             g[std::min(y, kHeight - 1) * width + std::min(x, kWidth - 1)]));
        EXPECT_LE(worst, 24);
    }
    for (const char* name : {"mjpeg", "mpeg4", "ffv1", "huffyuv"}) EXPECT_TRUE(names.count(name)) << name;
    EXPECT_NE(save(source, dir.filePath("raw.avi"), {.encoder = "rawvideo"}), 0);  // not an encoder listed
}

// Pixels of the image whose 5-bit components differ from frame i's; -1 for a wrong kind of image.
int mismatches(const QImage& image, int i) {
    if (image.format() != QImage::Format_RGB32) return -1;
    QImage frame(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            frame.setPixel(x, y, qRgb(red(x, y, i) << 3, green(x, y, i) << 3, blue(x, y, i) << 3));
    return pixelMismatches(image, frame);
}

TEST(AviSave, LosslessEncodersKeepEveryPixelInAnyReadOrder) {
    QTemporaryDir dir;
    const QString source = writeSource(dir, "src.avi", 5);
    const int order[] = {3, 0, 4, 1, 2};  // seeks back and forth as well as reading on
    {
        auto original = openSource(source);
        ASSERT_TRUE(original);
        EXPECT_EQ(std::tuple(original->width(), original->height(), original->framesPerSecond(),
                             original->frameCount()),
                  std::tuple(kWidth, kHeight, kRate, 5));
        EXPECT_TRUE(original->frame(5).isNull() && original->frame(-1).isNull());
        for (int i : order) EXPECT_EQ(mismatches(original->frame(i), i), 0) << "source frame " << i;
    }
    for (const char* name : {"ffv1", "huffyuv", "ffvhuff", "utvideo", "magicyuv", "zmbv", "png"}) {
        if (!aviLibrary().findEncoder(name)) continue;
        SCOPED_TRACE(name);
        const QString out = dir.filePath(QString(name) + ".avi");
        ASSERT_EQ(save(source, out, {.encoder = name}), 0);
        auto copy = openSource(out);
        ASSERT_TRUE(copy);
        for (int i : order) EXPECT_EQ(mismatches(copy->frame(i), i), 0) << "frame " << i;
    }
    // The ffmpeg command line, reading the FFV1 file on its own, sees the values written.
    const QByteArray decoded = runTool(
        "ffmpeg", {"-v", "error", "-i", dir.filePath("ffv1.avi"), "-f", "rawvideo", "-pix_fmt", "bgr0", "-"});
    ASSERT_EQ(decoded.size(), 5 * kWidth * kHeight * 4);
    for (int i = 0; i < 5; ++i) {
        const auto* bgr0 = reinterpret_cast<const uchar*>(decoded.constData()) + i * kWidth * kHeight * 4;
        EXPECT_EQ(mismatches(QImage(bgr0, kWidth, kHeight, kWidth * 4, QImage::Format_RGB32), i), 0) << i;
    }
}

TEST(AviSave, ProgressRisesToOneHundredAndANonZeroAnswerStops) {
    QTemporaryDir dir;
    const QString source = writeSource(dir, "src.avi", 8);
    for (int stopAt : {101, 50}) {
        SCOPED_TRACE(stopAt);
        std::vector<int> seen;
        const int result = save(source, dir.filePath("out.avi"), {.encoder = "mpeg4"}, &seen, stopAt);
        ASSERT_GE(seen.size(), stopAt > 100 ? 8u : 4u);
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
        // Stopped: after 4 of 8 frames, and not one call more.
        EXPECT_EQ(result != 0, stopAt <= 100);
        EXPECT_EQ(seen.back(), std::min(stopAt, 100));
    }
}

TEST(AviSave, OptionsReachTheEncoder) {
    QTemporaryDir dir;
    const QString source = writeSource(dir, "src.avi", 5);
    qint64 previous = 0;
    for (int quality : {0, 5000, 10000}) {  // a higher quality never makes a smaller file
        const QString out = dir.filePath(QString("q%1.avi").arg(quality));
        ASSERT_EQ(save(source, out, {.encoder = "mjpeg", .quality = quality}), 0);
        EXPECT_GT(QFileInfo(out).size(), previous) << quality;
        previous = QFileInfo(out).size();
    }
    for (const auto& [every, keys] : {std::pair{0, 1}, {2, 3}}) {
        const QString out = dir.filePath(QString("k%1.avi").arg(every));
        ASSERT_EQ(save(source, out, {.encoder = "mpeg4", .keyFrameEvery = every}), 0);
        const QByteArray flags = runTool("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                                     "frame=key_frame", "-of", "csv=p=0", out});
        EXPECT_EQ(flags.simplified(), QByteArray(keys == 1 ? "1 0 0 0 0" : "1 0 1 0 1")) << every;
    }
}

TEST(AviSource, OpenTellsMissingAndForeignFilesFromFilesWithoutVideo) {
    QTemporaryDir dir;
    QFile text(dir.filePath("notes.avi"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly) && text.write("not a video at all\n") > 0);
    text.close();
    const QString audio = dir.filePath("audio.avi"), nut = dir.filePath("video.nut");
    runTool("ffmpeg",
            {"-v", "error", "-f", "lavfi", "-i", "anullsrc", "-t", "0.1", "-c:a", "pcm_s16le", audio});
    runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc=s=32x32", "-frames:v", "1", nut});
    const std::pair<QString, AviSource::Status> cases[] = {
        {dir.filePath("missing.avi"), AviSource::Status::FileError},
        {text.fileName(), AviSource::Status::FileError},
        {nut, AviSource::Status::FileError},
        {audio, AviSource::Status::NoVideoStream}};
    for (const auto& [path, expected] : cases) {
        AviSource::Status status = AviSource::Status::Ok;
        EXPECT_EQ(aviLibrary().openSource(path.toStdString(), status), nullptr) << path.toStdString();
        EXPECT_EQ(status, expected) << path.toStdString();
    }
}

TEST(AviSave, SourceWithoutFramesGivesAValidEmptyFile) {
    QTemporaryDir dir;
    const QString source = writeSource(dir, "empty.avi", 0);
    auto empty = openSource(source);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->frameCount(), 0);
    EXPECT_TRUE(empty->frame(0).isNull());
    std::vector<int> seen;
    const QString out = dir.filePath("out.avi");
    ASSERT_EQ(save(source, out, {.encoder = "mpeg4"}, &seen), 0);
    EXPECT_EQ(seen, std::vector<int>{100});
    auto p = probeVideo(out);
    EXPECT_EQ(p["codec_name"], "mpeg4");
    EXPECT_EQ(p["nb_read_frames"], "N/A");  // ffprobe's word for a stream it read nothing from
    EXPECT_EQ(openSource(out)->frameCount(), 0);
}

}  // namespace
