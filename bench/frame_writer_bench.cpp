// The cost of one 1920 x 1080 frame on its way through a recording, the process's CPU time per frame:
// the copy into a queue buffer, the frame file written through the page cache or straight to the
// disk (block-aligned buffer), and the assembly's conversion into the AVI's 16-bit pixels. Frame files go to
// the working folder (run it on the volume the program would write to).
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <cstdlib>
#include <cstring>

#include "test_pictures.h"
#include "video/logic/frame_conversion.h"
#include "video/logic/frame_file.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

QImage picture() { return test_pictures::xorPattern(kWidth, kHeight); }

// A picture in page-aligned memory, as a direct write wants it.
QImage alignedPicture() {
    const qsizetype bytes = qsizetype(kWidth) * 4 * kHeight;
    auto* memory = static_cast<uchar*>(std::aligned_alloc(4096, std::size_t(bytes)));
    QImage image(memory, kWidth, kHeight, kWidth * 4, QImage::Format_RGB32, std::free, memory);
    const QImage source = picture();
    std::memcpy(image.bits(), source.constBits(), std::size_t(bytes));
    return image;
}

void writeFrames(benchmark::State& state, const QImage& image) {
    const QString path = QDir::current().filePath(QStringLiteral("frame_writer_bench.bmp"));
    for (auto _ : state) benchmark::DoNotOptimize(writeFrameBmp(image, path));
    QFile::remove(path);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * kWidth * kHeight * 4);
}

void frameThroughPageCache(benchmark::State& state) { writeFrames(state, picture()); }
void frameStraightToDisk(benchmark::State& state) { writeFrames(state, alignedPicture()); }

void copyIntoQueueBuffer(benchmark::State& state) {
    const QImage source = picture();
    QImage target(kWidth, kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        std::memcpy(target.bits(), source.constBits(), std::size_t(source.sizeInBytes()));
        benchmark::ClobberMemory();
    }
}

// The assembly's conversion of one frame into the AVI's 16-bit DIB.
void convertTo555(benchmark::State& state) {
    const QImage source = picture();
    std::vector<std::uint8_t> buffer;
    for (auto _ : state) {
        convertFrame(source, kWidth, kHeight, 16, buffer);
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(convertTo555)->Unit(benchmark::kMillisecond);
BENCHMARK(copyIntoQueueBuffer)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(frameThroughPageCache)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(frameStraightToDisk)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

BENCHMARK_MAIN();
