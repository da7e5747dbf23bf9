// The image writers at 1920 x 1080: JPEG quality 100, BMP, and the whole GIF and PNG paths of
// writeimage (temporary BMP written, loaded, converted, deleted), with the PNG and GIF stages
// apart. Files go to the folder KADREL_BENCH_DIR and stay there, or else to a temporary folder
// removed at the end. KADREL_BENCH_PICTURE names a picture to write instead of the made-up one, so that the
// figures can stand beside other tools writing the same screen (bench/compare_tools.sh).
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <random>

#include "platform/system/image_library.h"
#include "still/logic/jpeg_bmp_writers.h"
#include "still/logic/write_image.h"

namespace {

// Gradients with camera-like noise, cut by hard-edged blocks and thin bars as text and window
// borders would.
QImage photoLike(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> noise(-6, 6);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            int r = 255 * x / width + noise(random), g = 255 * y / height + noise(random);
            int b = 60 + 120 * (x + y) / (width + height) + noise(random);
            if ((x / 64 + y / 48) % 7 == 0) r = g = b = 240;
            if ((x / 64 + y / 48) % 7 == 0 && y % 12 < 9 && (x * 7 + y) % 11 < 4) r = g = b = 16;
            row[x] = qRgb(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255));
        }
    }
    return image;
}

const QImage& picture() {
    static const QImage image = [] {
        const QByteArray path = qgetenv("KADREL_BENCH_PICTURE");
        return path.isEmpty() ? photoLike(1920, 1080)
                              : QImage(QString::fromLocal8Bit(path)).convertToFormat(QImage::Format_RGB32);
    }();
    return image;
}

QString benchFolder() {
    static const QString given = qEnvironmentVariable("KADREL_BENCH_DIR");
    static QTemporaryDir temporary(QDir::tempPath() + "/writer_bench-XXXXXX");
    return given.isEmpty() ? temporary.path() : given;
}

void reportFile(benchmark::State& state, const QString& path) {
    state.counters["file_bytes"] = static_cast<double>(QFileInfo(path).size());
}

template <typename Write>
void run(benchmark::State& state, const QString& name, Write write) {
    if (picture().isNull()) return state.SkipWithError("cannot load KADREL_BENCH_PICTURE");
    const QString path = benchFolder() + '/' + name;
    for (auto _ : state) {
        if (!write(path)) return state.SkipWithError("write failed");
    }
    reportFile(state, path);
}

void writeJpegQuality100(benchmark::State& state) {
    run(state, "q100.jpg", [](const QString& path) { return writeJpeg(picture(), path, 100); });
}

void writeBmp24(benchmark::State& state) {
    run(state, "frame.bmp", [](const QString& path) { return writeBmp(picture(), path); });
}

void writeimagePng(benchmark::State& state) {
    run(state, "shot.png", [](const QString& path) {
        return writeimage(picture(), path, 4, 100, benchFolder()) == WriteResult::Written;
    });
}

void writeimageGif(benchmark::State& state) {
    run(state, "shot.gif", [](const QString& path) {
        return writeimage(picture(), path, 3, 100, benchFolder()) == WriteResult::Written;
    });
}

// The stages of the GIF and PNG paths, on one loaded image.
void loadBmp(benchmark::State& state) {
    const QString bmp = benchFolder() + "/load.bmp";
    if (!writeBmp(picture(), bmp)) return state.SkipWithError("cannot write the BMP");
    for (auto _ : state) benchmark::DoNotOptimize(BMPtoDIB(bmp));
    reportFile(state, bmp);
}

void convertOnly(benchmark::State& state, const QString& name,
                 bool (*convert)(const QString&, const DibHandle&, int)) {
    const QString bmp = benchFolder() + "/convert.bmp";
    if (!writeBmp(picture(), bmp)) return state.SkipWithError("cannot write the BMP");
    const DibHandle handle = BMPtoDIB(bmp);
    run(state, name, [&](const QString& path) { return convert(path, handle, 0); });
}
void convertToPng(benchmark::State& state) { convertOnly(state, "stage.png", DIBtoPNG); }
void convertToGif(benchmark::State& state) { convertOnly(state, "stage.gif", DIBtoGIF); }

BENCHMARK(writeJpegQuality100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(writeBmp24)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(writeimagePng)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(writeimageGif)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(loadBmp)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(convertToPng)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(convertToGif)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
