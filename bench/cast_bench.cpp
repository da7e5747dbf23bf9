// The copy of one screen-cast frame on the stream's thread, 1920x1080 with a padded stride: the
// desktop's own byte order (BGRx, one OR a pixel) and the swapped one (RGBx), into a picture nobody
// holds (reused) and into one the recording still holds (a new allocation each time).
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QImage>

#include "platform/portal/cast_frame.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080, kStride = kWidth * 4 + 64;

void copyFrame(benchmark::State& state, CastPixelOrder order, bool held) {
    QByteArray source(qsizetype(kStride) * kHeight, char(0x7f));
    QImage target, holder;
    for (auto _ : state) {
        if (held) holder = target;
        copyCastFrame(reinterpret_cast<const uchar*>(source.constData()), source.size(), kStride, order,
                      QRect(0, 0, kWidth, kHeight), target);
        benchmark::DoNotOptimize(target.constBits());
    }
    state.SetBytesProcessed(state.iterations() * qint64(kWidth) * kHeight * 4);
}

}  // namespace

BENCHMARK_CAPTURE(copyFrame, BGRx_reused, CastPixelOrder::BGRx, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(copyFrame, RGBx_reused, CastPixelOrder::RGBx, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(copyFrame, BGRx_held, CastPixelOrder::BGRx, true)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
