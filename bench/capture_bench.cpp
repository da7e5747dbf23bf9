// Kadrel's whole-screen capture to a file, as the save commands run it: grab the screen
// (shared memory), scale (100 %, a no-op), write in each format. Run it on a display that shows
// a realistic picture (bench/compare_tools.sh does).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QTemporaryDir>

#include "core/logic/capture_geometry.h"
#include "platform/x11/screen_grabber.h"
#include "still/logic/write_image.h"

namespace {
QString g_dir;

void captureToFile(benchmark::State& state, std::uint8_t type, const char* name) {
    ScreenGrabber grabber;
    QImage screen;
    const QString path = g_dir + QLatin1Char('/') + QLatin1String(name);
    for (auto _ : state) {
        if (!grabber.grab(screen)) state.SkipWithError("the screen grab failed");
        QImage image = screen;
        if (!stretchByPercent(image, 100)) state.SkipWithError("the scaling failed");
        if (writeimage(image, path, type, 100, g_dir) != WriteResult::Written)
            state.SkipWithError("write failed");
    }
}
}  // namespace

BENCHMARK_CAPTURE(captureToFile, jpeg, 1, "capture.jpg")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(captureToFile, bmp, 2, "capture.bmp")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(captureToFile, gif, 3, "capture.gif")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(captureToFile, png, 4, "capture.png")->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QTemporaryDir temporary;
    g_dir = qEnvironmentVariable("KADREL_BENCH_DIR", temporary.path());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
