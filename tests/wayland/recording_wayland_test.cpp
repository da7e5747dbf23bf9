// Recordings of the built program on a Wayland desktop (headless GNOME): the frames come from the
// desktop's screen cast, the commands from later starts (kadrel --command), and the desktop asks for
// the monitor once.
#include <QFile>
#include <cstdlib>

#include "e2e/program_run.h"
#include "fakes/media_probe.h"
#include "fakes/test_files.h"
#include "wayland_session.h"

namespace {

// The colours native_window.py cycles through, one a second.
const QList<QRgb> kColours = {qRgb(204, 0, 0),   qRgb(0, 204, 0),   qRgb(0, 0, 204),
                              qRgb(204, 204, 0), qRgb(0, 204, 204), qRgb(204, 0, 204)};

// The index in kColours of the colour near this one (the stream's colours may differ from the
// window's by a step or two), -1 for none.
int colourIndex(QRgb pixel) {
    for (qsizetype i = 0; i < kColours.size(); ++i) {
        const QRgb c = kColours[i];
        if (std::abs(qRed(c) - qRed(pixel)) <= 8 && std::abs(qGreen(c) - qGreen(pixel)) <= 8 &&
            std::abs(qBlue(c) - qBlue(pixel)) <= 8)
            return int(i);
    }
    return -1;
}

// The colour of each frame's middle as an index into kColours, runs of the same one told once with
// their lengths. A frame of no known colour is left out: the first ones may show what the screen held
// as the recording began (a box going), and a busy desktop may hand over one caught between two
// colours; a run that such frames cut short still shows in the lengths.
QList<std::pair<int, int>> colourRuns(const QList<QImage>& frames) {
    QList<std::pair<int, int>> runs;
    for (const QImage& frame : frames) {
        const int colour = colourIndex(frame.pixel(frame.rect().center()));
        if (colour < 0) continue;
        if (!runs.isEmpty() && runs.back().first == colour)
            ++runs.back().second;
        else
            runs.append({colour, 1});
    }
    return runs;
}

}  // namespace

TEST(WaylandRecording, CommandsRecordTheScreenInOrderAndTheSecondRecordingAsksNothing) {
    WaylandSession gnome(WaylandSession::Desktop::Gnome);
    REQUIRE_SESSION(gnome);
    constexpr int kRate = 10;
    const QString folder = gnome.installProgram("[image]\r\nframe=10\r\n");
    ASSERT_FALSE(folder.isEmpty());
    const WaylandSession::OnItsDisplay display(gnome);
    gnome.start(
        {QStringLiteral("env"), QStringLiteral("GDK_BACKEND=wayland"), QStringLiteral("/usr/bin/python3"),
         QStringLiteral(KADREL_SOURCE_DIR "/tests/wayland/native_window.py"), QStringLiteral("cycle")},
        folder);
    // Under the frame's client area before the frame comes: the desktop puts a window that comes later
    // beside the frame.
    const QString shot = folder + QStringLiteral("/desktop.png");
    ASSERT_TRUE(waitUntil([&] {
        return gnome.desktopTool({QStringLiteral("screenshot"), shot}) &&
               colourIndex(QImage(shot).pixel(kStartClient.center())) >= 0;
    }));
    gnome.start({folder + QStringLiteral("/kadrel")}, folder);
    ASSERT_TRUE(windowShown(kStartCaption));
    const auto command = [&](const char* name) {
        return gnome
            .output(
                {folder + QStringLiteral("/kadrel"), QStringLiteral("--command"), QString::fromLatin1(name)})
            .has_value();
    };

    for (int run : {1, 2}) {
        SCOPED_TRACE(run);
        ASSERT_TRUE(command("start"));
        // The first recording asks which monitor; the second has the desktop's word kept.
        if (run == 1) {
            ASSERT_TRUE(gnome.desktopTool({QStringLiteral("pass-chooser")}));
            // Once: how to give the commands keys of the desktop's own.
            ASSERT_TRUE(windowShown(QStringLiteral("Kadrel")));
            ASSERT_TRUE(keysInto(QStringLiteral("Kadrel"), {"Return"}));
        }
        ASSERT_TRUE(windowShown(QStringLiteral("Kadrel1.02 動画保存>録画中")));
        // Five seconds at ten frames a second.
        ASSERT_TRUE(waitUntil(
            [&] { return QFile::exists(folder + QStringLiteral("/kadrel00AVISAVE50.bmp")); }, 60000));
        ASSERT_TRUE(command("stop"));
        ASSERT_TRUE(windowShown(QStringLiteral("Kadrel")));  // the stop box
        ASSERT_TRUE(keysInto(QStringLiteral("Kadrel"), {"Return"}));
        ASSERT_TRUE(windowShown(QStringLiteral("ビデオの圧縮")));
        ASSERT_TRUE(keysInto(QStringLiteral("ビデオの圧縮"), {"Escape"}));
        ASSERT_TRUE(windowShown(kStartCaption));

        const QString avi = folder + QStringLiteral("/動画保存%1.avi").arg(run);
        const std::map<std::string, std::string> probe = probeVideo(avi);
        EXPECT_GE(std::stoi(probe.at("nb_read_frames")), 50);
        // The colours come in their order, each for about a second of frames at the file's rate.
        const QList<std::pair<int, int>> runs = colourRuns(decodeFrames(avi, 420, 360));
        QString seen;
        for (const auto& [colour, frames] : runs) seen += QStringLiteral("%1x%2 ").arg(colour).arg(frames);
        ASSERT_GE(runs.size(), 4) << seen.toStdString();
        const QStringList rate = QString::fromStdString(probe.at("r_frame_rate")).split(QLatin1Char('/'));
        const double fps = rate.value(0).toDouble() / std::max(1.0, rate.value(1).toDouble());
        EXPECT_GE(fps, 5);
        EXPECT_LE(fps, kRate);
        for (qsizetype i = 1; i < runs.size(); ++i) {
            EXPECT_EQ(runs[i].first, (runs[i - 1].first + 1) % int(kColours.size())) << i;
            if (i + 1 < runs.size()) {
                EXPECT_NEAR(runs[i].second, fps, fps / 3 + 1) << i;  // a whole second
            }
        }
    }
    EXPECT_TRUE(fileBytes(folder + QStringLiteral("/kadrel.ini")).contains("[wayland]"));
}
