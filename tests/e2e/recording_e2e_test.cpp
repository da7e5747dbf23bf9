// Recordings of the built program driven by its keys, under a tray host, with and without a window
// manager: start, pause, resume, stop, the stop box, then the real codec dialog from the AVI module,
// which is the first time anything of FFmpeg is mapped; a copy without the module keeps the
// uncompressed file with a warning. Later starts with --command drive a recording as the keys do.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <string>

#include "fakes/media_probe.h"
#include "fakes/tray_host.h"
#include "program_run.h"

namespace {

// FFmpeg's libraries and the AVI module among the files mapped into the process, in a sorted line.
std::string mappedAviLibraries(qint64 pid) {
    static const QStringList kLibraries = {"libavcodec",    "libavformat",   "libavutil",
                                           "libkadrel_avi", "libswresample", "libswscale"};
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (!maps.open(QIODevice::ReadOnly)) return "<no maps>";
    QStringList found;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6) continue;  // an anonymous mapping
        const QString name = QFileInfo(QString::fromUtf8(fields[5])).fileName();
        for (const QString& library : kLibraries)
            if (name.startsWith(library + QLatin1Char('.')) && !found.contains(library)) found << library;
    }
    found.sort();
    return found.join(QLatin1Char(' ')).toStdString();
}

class RecordingRun : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        ASSERT_TRUE(program.desktop.start(GetParam())) << "openbox is needed for this test";
        ASSERT_TRUE(tray.start()) << "trayer is needed for this test";
    }
    bool titled(const char* title) {
        return waitUntil([&] { return !x.findWindows(QString::fromUtf8(title)).empty(); }, 30000);
    }
    // Ctrl+F3 once a few frame files are there; the frames written by the stop box.
    int stopAfterFrames() {
        if (!waitUntil([&] { return QFile::exists(run.file(QStringLiteral("kadrel00AVISAVE3.bmp"))); }))
            return 0;
        if (!sendKeys({"ctrl+F3"}) || !x.waitForKeyboard(QStringLiteral("Kadrel"), 30000))
            return 0;  // the stop box
        return int(QDir(run.folder()).entryList({QStringLiteral("kadrel00AVISAVE*")}).size());
    }

    ProgramOnBackdrop program;
    ProgramRun& run = program.run;
    OtherClient& x = program.x;
    TrayHost tray;
};

INSTANTIATE_WITH_AND_WITHOUT_WINDOW_MANAGER(RecordingRun);

}  // namespace

TEST_P(RecordingRun, KeysRecordPauseResumeAndStopIntoAnAviThatTheModuleCompresses) {
    ASSERT_TRUE(program.start(GetParam()));
    const qint64 pid = run.process().processId();

    ASSERT_TRUE(sendKeys({"ctrl+f"}));
    ASSERT_TRUE(titled("Kadrel1.02 動画保存>録画中"));
    ASSERT_TRUE(sendKeys({"ctrl+F2"}));
    ASSERT_TRUE(titled("Kadrel1.02 動画保存>一時停止中"));
    ASSERT_TRUE(sendKeys({"ctrl+F1"}));
    ASSERT_TRUE(titled("Kadrel1.02 動画保存>録画中"));
    const int frames = stopAfterFrames();
    ASSERT_GE(frames, 3);
    EXPECT_EQ(mappedAviLibraries(pid), "");
    ASSERT_TRUE(sendKeys({"Return"}));
    ASSERT_TRUE(x.waitForKeyboard(QStringLiteral("ビデオの圧縮"),
                                  30000));  // the codec dialog, once the frame files are assembled
    EXPECT_TRUE(QDir(run.folder()).entryList({QStringLiteral("kadrel00AVISAVE*")}).isEmpty());
    const std::string loaded = mappedAviLibraries(pid);
    EXPECT_NE(loaded.find("libavcodec"), std::string::npos) << loaded;
    EXPECT_NE(loaded.find("libkadrel_avi"), std::string::npos) << loaded;

    // The first encoder listed, then OK.
    ASSERT_TRUE(sendKeys({"Down", "Return"}));
    const QString avi = run.file(QStringLiteral("動画保存1.avi"));
    std::map<std::string, std::string> probe;
    EXPECT_TRUE(waitUntil([&] { return (probe = probeVideo(avi))["codec_name"] == "mjpeg"; }, 60000));
    EXPECT_EQ(std::tuple(probe["nb_read_frames"], probe["width"], probe["height"]),
              std::tuple(std::to_string(frames), std::string("420"), std::string("360")));
    ASSERT_TRUE(titled("Kadrel1.02  420 , 360"));
    EXPECT_TRUE(waitUntil([&] { return !QFile::exists(run.file(QStringLiteral("動画保存1_.avi"))); }));
}

TEST_P(RecordingRun, WithoutTheAviModuleTheProgramStartsAndKeepsTheUncompressedFile) {
    ASSERT_TRUE(QFile::remove(run.file(QStringLiteral("libkadrel_avi.so"))));
    ASSERT_TRUE(program.start(GetParam()));
    ASSERT_TRUE(sendKeys({"ctrl+f"}));
    const int frames = stopAfterFrames();
    ASSERT_GT(frames, 0);
    ASSERT_TRUE(sendKeys({"Return"}));
    ASSERT_TRUE(x.waitForKeyboard(QStringLiteral("警告"), 30000));
    EXPECT_EQ(mappedAviLibraries(run.process().processId()), "");
    ASSERT_TRUE(sendKeys({"Return"}));
    EXPECT_TRUE(waitUntil([&] { return x.findWindows(QStringLiteral("警告")).empty(); }));
    const auto probe = probeVideo(run.file(QStringLiteral("動画保存1.avi")));
    EXPECT_EQ(probe.at("codec_name"), "rawvideo");
    EXPECT_EQ(probe.at("nb_read_frames"), std::to_string(frames));
    EXPECT_FALSE(QFile::exists(run.file(QStringLiteral("動画保存1_.avi"))));
}

TEST_P(RecordingRun, CommandsOfLaterStartsDriveTheCopyOnTheDesktop) {
    ASSERT_TRUE(program.desktop.start(GetParam()));
    EXPECT_EQ(run.command(QStringLiteral("stop")), 1);  // no copy runs, and stop starts none
    EXPECT_TRUE(x.findWindows(kStartCaption).empty());
    run.setArguments({QStringLiteral("--command"), QStringLiteral("start")});
    run.start();  // no copy runs: start starts one, which records
    ASSERT_TRUE(titled("Kadrel1.02 動画保存>録画中"));

    EXPECT_EQ(run.command(QStringLiteral("pause")), 0);
    ASSERT_TRUE(titled("Kadrel1.02 動画保存>一時停止中"));
    EXPECT_EQ(run.command(QStringLiteral("resume")), 0);
    ASSERT_TRUE(titled("Kadrel1.02 動画保存>録画中"));
    EXPECT_EQ(run.command(QStringLiteral("start")), 0);  // taken, and refused by the running recording
    EXPECT_EQ(run.command(QStringLiteral("Stop")), 2);   // not a command: the usage, and nothing sent
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(run.file(QStringLiteral("kadrel00AVISAVE3.bmp"))); }));
    EXPECT_EQ(run.command(QStringLiteral("stop")), 0);
    ASSERT_TRUE(x.waitForKeyboard(QStringLiteral("Kadrel"), 30000));  // the stop box
    ASSERT_TRUE(sendKeys({"Return"}));
    ASSERT_TRUE(x.waitForKeyboard(QStringLiteral("ビデオの圧縮"), 30000));
    ASSERT_TRUE(sendKeys({"Escape"}));
    ASSERT_TRUE(titled("Kadrel1.02  420 , 360"));
    EXPECT_EQ(probeVideo(run.file(QStringLiteral("動画保存1.avi")))["codec_name"], "rawvideo");
}
