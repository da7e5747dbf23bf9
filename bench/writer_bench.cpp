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

#include "platform/system/image_library.h"
#include "still/logic/jpeg_bmp_writers.h"
#include "still/logic/write_image.h"
#include "test_pictures.h"

namespace {

const QImage& picture() {
    static const QImage image = [] {
        const QByteArray path = qgetenv("KADREL_BENCH_PICTURE");
        return path.isEmpty() ? test_pictures::photoLike(1920, 1080)
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
