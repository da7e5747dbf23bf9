// The stages of a capture on the real X server: the screen grab by each route (shared memory,
// xcb_get_image, Qt's QScreen::grabWindow) against a plain memcpy of a screen-sized buffer, then the
// cut of an 800 x 600 capture rectangle and its nearest-pixel scaling to 50 % and 200 %.
//
// A full-screen window of the benchmark's own shows a photo-like picture (gradients, noise, text),
// so the server copies realistic pixels. Times are wall-clock: the X server does part of the work.
// The ratio of the medians, shared-memory grab / memcpy, is printed at the end.
// Run it on a private 1920 x 1080 Xvfb: bench/run_grab.sh.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QScreen>
#include <QThread>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/logic/capture_geometry.h"
#include "platform/x11/screen_grabber.h"

namespace {

constexpr int kRepetitions = 15;
constexpr QSize kCapture(800, 600);

QImage photoLikePicture(QSize size) {
    QImage picture(size, QImage::Format_RGB32);
    QPainter painter(&picture);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(40, 90, 170));
    sky.setColorAt(0.55, QColor(235, 180, 120));
    sky.setColorAt(1, QColor(50, 70, 40));
    painter.fillRect(picture.rect(), sky);
    QRadialGradient sun(size.width() * 0.7, size.height() * 0.35, size.height() * 0.3);
    sun.setColorAt(0, QColor(255, 250, 220, 230));
    sun.setColorAt(1, QColor(255, 200, 120, 0));
    painter.fillRect(picture.rect(), sun);
    QRandomGenerator random(20240501);
    for (int i = 0; i < 60; ++i) {
        painter.setBrush(
            QColor::fromHsv(random.bounded(360), 120 + random.bounded(100), 90 + random.bounded(150), 110));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QPoint(random.bounded(size.width()), random.bounded(size.height())),
                            20 + random.bounded(160), 20 + random.bounded(120));
    }
    painter.setPen(Qt::white);
    painter.setFont(QFont(QStringLiteral("Sans"), 14));
    for (int line = 0; line < 30; ++line) {
        painter.drawText(
            40, 40 + line * 34,
            QStringLiteral("Kadrel capture benchmark %1: the quick brown fox jumps over the lazy dog")
                .arg(line));
    }
    painter.end();
    // Sensor-like noise, so no run of equal pixels makes a copy cheaper than it is.
    for (int y = 0; y < picture.height(); ++y) {
        auto* pixels = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            const int n = int(random.bounded(25)) - 12;
            const QRgb p = pixels[x];
            pixels[x] = qRgb(qBound(0, qRed(p) + n, 255), qBound(0, qGreen(p) + n, 255),
                             qBound(0, qBlue(p) + n, 255));
        }
    }
    return picture;
}

class PictureWindow : public QWidget {
public:
    PictureWindow() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        setGeometry(screen->geometry());
        setAttribute(Qt::WA_OpaquePaintEvent);
        m_picture = photoLikePicture(screen->geometry().size() * screen->devicePixelRatio());
        m_picture.setDevicePixelRatio(screen->devicePixelRatio());
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, m_picture); }

private:
    QImage m_picture;
};

void settle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

QImage screenImage() {
    ScreenGrabber grabber;
    QImage image;
    grabber.grab(image);
    return image;
}

void BM_Memcpy(benchmark::State& state) {
    const QSize size = ScreenGrabber().screenSize();
    std::vector<unsigned char> from(std::size_t(size.width()) * size.height() * 4, 0x5a);
    std::vector<unsigned char> to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(from.size()));
}

void grabWith(benchmark::State& state, ScreenGrabber::GrabMethod method, bool shared) {
    ScreenGrabber grabber(method);
    QImage image;
    for (auto _ : state) {
        if (!grabber.grab(image) || grabber.usesSharedMemory() != shared) {
            state.SkipWithError("the grab did not take the route under test");
            break;
        }
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_GrabSharedMemory(benchmark::State& state) { grabWith(state, ScreenGrabber::GrabMethod::Auto, true); }

void BM_GrabGetImage(benchmark::State& state) { grabWith(state, ScreenGrabber::GrabMethod::GetImage, false); }

void BM_QtGrabWindow(benchmark::State& state) {
    QScreen* screen = QGuiApplication::primaryScreen();
    for (auto _ : state) {
        QPixmap pixmap = screen->grabWindow(0);
        benchmark::DoNotOptimize(pixmap.cacheKey());
    }
}

void BM_ClipAndCopy800x600(benchmark::State& state) {
    const QImage screen = screenImage();
    const QPoint client(screen.width() / 2 - kCapture.width() / 2,
                        screen.height() / 2 - kCapture.height() / 2);
    const CaptureGeometry geometry{screen.size(), QRect(client - QPoint(4, 23), kCapture + QSize(8, 27)),
                                   client, kCapture};
    for (auto _ : state) {
        QImage capture = copySpan(screen, clipSpan(geometry));
        benchmark::DoNotOptimize(capture.constBits());
    }
}

void BM_StretchNearest800x600(benchmark::State& state) {
    const QImage capture = copySpan(screenImage(), QRect(QPoint(300, 200), kCapture));
    const QSize target = *scaledSize(capture.size(), std::int32_t(state.range(0)));
    for (auto _ : state) {
        QImage scaled = stretchNearest(capture, target);
        benchmark::DoNotOptimize(scaled.constBits());
    }
}

// Keeps the medians of the repetitions, by benchmark name, for the ratio at the end.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, as the library's own console output does.
    MedianReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.aggregate_name == "median")
                m_medians[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double median(const std::string& name) const {
        const auto found = m_medians.find(name);
        return found == m_medians.end() ? 0 : found->second;
    }

private:
    std::map<std::string, double> m_medians;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    PictureWindow window;
    window.show();
    settle(100);
    if (!window.windowHandle() || !window.windowHandle()->isExposed()) settle(1000);
    settle(300);  // the picture reaches the server

    const auto configure = [](benchmark::internal::Benchmark* b) {
        b->Repetitions(kRepetitions)
            ->DisplayAggregatesOnly(true)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    };
    configure(benchmark::RegisterBenchmark("BM_Memcpy", BM_Memcpy));
    configure(benchmark::RegisterBenchmark("BM_GrabSharedMemory", BM_GrabSharedMemory));
    configure(benchmark::RegisterBenchmark("BM_GrabGetImage", BM_GrabGetImage));
    configure(benchmark::RegisterBenchmark("BM_QtGrabWindow", BM_QtGrabWindow));
    configure(benchmark::RegisterBenchmark("BM_ClipAndCopy800x600", BM_ClipAndCopy800x600));
    configure(benchmark::RegisterBenchmark("BM_StretchNearest800x600", BM_StretchNearest800x600)
                  ->Arg(50)
                  ->Arg(200));

    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double copy = reporter.median("BM_Memcpy");
    const double grab = reporter.median("BM_GrabSharedMemory");
    if (copy > 0 && grab > 0) {
        std::printf("grab ratio shared-memory grab / memcpy: %.2f (%.3f ms / %.3f ms)\n", grab / copy, grab,
                    copy);
    } else {
        std::printf("grab ratio shared-memory grab / memcpy: n/a (a benchmark was filtered out or failed)\n");
    }
    return 0;
}
