// Interval saving at 100 ms with an 800 x 600 frame for 10 s: how many files are written against
// the ticks due, and where a tick's time goes. Run it on a display (bench/run_interval.sh).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "app/desktop_services.h"
#include "capture_window/ui/frame_window.h"
#include "settings/ui/spin_edit.h"
#include "still/ui/interval_saving.h"

namespace {
struct TickClock : QObject {
    // A tick that falls due during a shot is dropped: a shot's time runs from its own tick.
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Timer && !shooting) {
            elapsed.start();
            shooting = true;
        }
        return false;
    }
    QElapsedTimer elapsed;
    bool shooting = false;
};
}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QTemporaryDir folder;
    DesktopServices services;
    Program program(folder.path() + QLatin1Char('/'), services.services());
    program.show();
    FrameWindow& form = *program.frame;
    form.setClientWidth(800);
    form.setClientHeight(600);

    const int intervalMs = 100, runMs = 10000;
    IntervalSaving& saving = *program.intervalSaving;
    form.menuItem(FrameCommand::SaveAtIntervals)->trigger();  // the folder is known: the dialog opens at once
    QTimer::singleShot(300, [&] {
        saving.dialog().intervalField->setValue(intervalMs);
        saving.dialog().startButton->click();
    });

    // Time each tick's work, the 50 ms pause included: from the timer event to the end of the
    // shot's save.
    TickClock clock;
    std::vector<double> tickMs;
    saving.tick().installEventFilter(&clock);
    QObject::connect(&saving, &IntervalSaving::shotFinished, [&] {
        tickMs.push_back(clock.elapsed.nsecsElapsed() / 1e6);
        clock.shooting = false;
    });

    QTimer::singleShot(300 + runMs, [&] { QCoreApplication::exit(0); });
    QApplication::exec();

    const int files = QDir(folder.path()).entryList(QDir::Files).size();
    const int due = runMs / intervalMs;
    std::sort(tickMs.begin(), tickMs.end());
    const double median = tickMs.empty() ? 0 : tickMs[tickMs.size() / 2];
    std::printf("interval %d ms, frame 800x600, %d s: %d files written, %d ticks due (%.2f)\n", intervalMs,
                runMs / 1000, files, due, double(files) / due);
    std::printf("tick work (50 ms pause, grab, clip, scale, JPEG write): median %.1f ms, max %.1f ms\n",
                median, tickMs.empty() ? 0 : tickMs.back());
    return 0;
}
