// A recording of the built program driven by its keys, under a tray host, with and without a window
// manager: start, pause, resume, stop, the stop box, the real codec dialog, the AVI file.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include "fakes/media_probe.h"
#include "fakes/tray_host.h"
#include "program_run.h"

class RecordingRun : public ::testing::TestWithParam<bool> {};

TEST_P(RecordingRun, KeysRecordPauseResumeAndStopIntoAnAvi) {
    QProcess manager;
    if (GetParam()) {
        manager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        ASSERT_TRUE(manager.waitForStarted()) << "openbox is needed for this test";
        waitUntil([] { return false; }, 700);
    }
    ProgramOnBackdrop program;
    program.backdrop.show();
    TrayHost tray;
    ASSERT_TRUE(tray.start()) << "trayer is needed for this test";
    ASSERT_TRUE(program.start());
    OtherClient& x = program.x;
    const ProgramRun& run = program.run;
    const auto titled = [&](const char* title) {
        return waitUntil([&] { return !x.findWindows(QString::fromUtf8(title)).empty(); }, 10000);
    };
    waitUntil([] { return false; }, 300);

    ASSERT_TRUE(sendKeys({"ctrl+f"}));
    ASSERT_TRUE(titled("Kadrel1.02 動画保存>録画中"));
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(run.file(QStringLiteral("kadrel00AVISAVE3.bmp"))); }));
    ASSERT_TRUE(sendKeys({"ctrl+F2"}));
    ASSERT_TRUE(titled("Kadrel1.02 動画保存>一時停止中"));
    ASSERT_TRUE(sendKeys({"ctrl+F1"}));
    ASSERT_TRUE(titled("Kadrel1.02 動画保存>録画中"));
    ASSERT_TRUE(sendKeys({"ctrl+F3"}));
    ASSERT_TRUE(titled("Kadrel"));  // the stop box
    const int frames = int(QDir(run.folder()).entryList({QStringLiteral("kadrel00AVISAVE*")}).size());
    EXPECT_GE(frames, 3);
    ASSERT_TRUE(sendKeys({"Return"}));
    ASSERT_TRUE(titled("ビデオの圧縮"));  // the codec dialog, once the frame files are assembled
    EXPECT_TRUE(QDir(run.folder()).entryList({QStringLiteral("kadrel00AVISAVE*")}).isEmpty());
    ASSERT_TRUE(sendKeys({"Escape"}));
    ASSERT_TRUE(titled("Kadrel1.02  420 , 360"));
    const auto probe = probeVideo(run.file(QStringLiteral("動画保存1.avi")));
    EXPECT_EQ(probe.at("nb_read_frames"), std::to_string(frames));
    EXPECT_EQ(std::tuple(probe.at("width"), probe.at("height"), probe.at("codec_name")),
              std::tuple("420", "360", "rawvideo"));
    if (GetParam()) {
        manager.terminate();
        manager.waitForFinished(3000);
    }
}

INSTANTIATE_TEST_SUITE_P(WindowManager, RecordingRun, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Openbox" : "None"; });
