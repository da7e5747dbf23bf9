// Drives the screen cast on a real desktop and tells what it does: how long start() takes, the frames a
// second the stream delivers and the CPU time its thread spends per frame (the copy included), and
// what happens when the desktop goes away (the run goes on until the stream fails or time is up).
//   cast_probe [RESTORE_TOKEN] [SECONDS]      run as the desktop's user; prints one line a second
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

#include "platform/portal/screen_cast.h"

namespace {

// Nanoseconds on the CPU of the thread that PipeWire named for the cast, from the scheduler's own
// count; -1 when no such thread is found.
qint64 castThreadCpuNs() {
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(tid + QStringLiteral("/comm")));
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != "kadrel-cast") continue;
        QFile stat(tasks.filePath(tid + QStringLiteral("/schedstat")));
        if (!stat.open(QIODevice::ReadOnly)) return -1;
        return stat.readAll().split(' ').value(0).toLongLong();
    }
    return -1;
}

const char* name(ScreenCast::Outcome outcome) {
    switch (outcome) {
        case ScreenCast::Outcome::Started:
            return "Started";
        case ScreenCast::Outcome::Refused:
            return "Refused";
        case ScreenCast::Outcome::NoPortal:
            return "NoPortal";
        case ScreenCast::Outcome::NoAnswer:
            return "NoAnswer";
        case ScreenCast::Outcome::NoStream:
            return "NoStream";
    }
    return "?";
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString token = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
    ScreenCast cast;
    QElapsedTimer clock;
    clock.start();
    const ScreenCast::Outcome outcome = cast.start(token, 90000);
    std::printf("start %s: %s in %lld ms; restore token %s\n",
                token.isEmpty() ? "without a token" : "with the token", name(outcome), clock.elapsed(),
                qPrintable(cast.restoreToken()));
    if (outcome != ScreenCast::Outcome::Started) return 1;
    clock.restart();
    const bool first = cast.waitForFirstFrame(10000);
    std::printf("first frame: %s after %lld ms, %dx%d\n", first ? "in" : "none", clock.elapsed(),
                cast.latestFrame().width(), cast.latestFrame().height());
    std::fflush(stdout);
    quint64 serial = 0;
    cast.latestFrame(&serial);
    for (int second = 0; second < seconds && !cast.streamFailed(); ++second) {
        const quint64 before = serial;
        const qint64 cpuBefore = castThreadCpuNs();
        clock.restart();
        while (clock.elapsed() < 1000 && !cast.streamFailed()) {
            cast.waitForFrame(serial, int(1000 - clock.elapsed()));
            cast.latestFrame(&serial);
        }
        const qint64 cpu = castThreadCpuNs() - cpuBefore;
        const quint64 frames = serial - before;
        std::printf("%2d s: %llu frames/s, stream thread %.2f ms CPU a frame%s\n", second + 1,
                    static_cast<unsigned long long>(frames),
                    frames && cpuBefore >= 0 ? cpu / 1e6 / frames : 0.0,
                    cast.streamFailed() ? "; the stream failed" : "");
        std::fflush(stdout);
    }
    const QImage last = cast.latestFrame(&serial);
    std::printf("end: stream %s; last frame %dx%d, serial %llu\n", cast.streamFailed() ? "failed" : "running",
                last.width(), last.height(), static_cast<unsigned long long>(serial));
    cast.stop();
    cast.stop();
    std::printf("stopped; frame kept: %s\n", cast.latestFrame().isNull() ? "no" : "yes");
    return 0;
}
