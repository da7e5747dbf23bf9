// The AVI module as the built program meets it: nothing of FFmpeg is mapped at start, the first
// offer of re-compression at the end of a recording loads the real module and its codec dialog,
// and a copy without the module starts all the same and keeps the uncompressed file with a
// warning. Each case runs without a window manager and under openbox.
#include <QDir>
#include <QFileInfo>
#include <QProcess>
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

class AviModuleRun : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (GetParam()) {
            m_manager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
            ASSERT_TRUE(m_manager.waitForStarted()) << "openbox is needed for this test";
            ASSERT_TRUE(waitUntil(
                [] {
                    return runTool("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id");
                },
                10000));
        }
        ASSERT_TRUE(m_tray.start()) << "trayer is needed for this test";
    }
    void TearDown() override {
        m_manager.terminate();
        m_manager.waitForFinished(3000);
    }

    // Starts run and waits until its frame is up.
    bool startProgram(ProgramRun& run) {
        if (!waitUntil([&] { return x.findWindows(kStartCaption).empty(); }, 5000)) return false;
        run.start();
        return waitUntil([&] { return !x.findWindows(kStartCaption).empty(); }, 15000);
    }
    bool titled(const QString& title) {
        return waitUntil([&] { return !x.findWindows(title).empty(); }, 30000);
    }
    // Records a few frames with the program's keys and stops; returns the number of frames, or 0
    // when the window titled offer (the codec dialog or the warning) did not come up after the stop.
    int recordUntil(ProgramRun& run, const QString& offer) {
        if (!sendKeys({"ctrl+f"}) || !titled(QStringLiteral("Kadrel1.02 動画保存>録画中"))) return 0;
        if (!waitUntil([&] { return QFile::exists(run.file(QStringLiteral("kadrel00AVISAVE3.bmp"))); }))
            return 0;
        if (!sendKeys({"ctrl+F3"}) || !titled(QStringLiteral("Kadrel"))) return 0;  // the stop box
        const auto frames = QDir(run.folder()).entryList({QStringLiteral("kadrel00AVISAVE*")}).size();
        if (!sendKeys({"Return"}) || !titled(offer)) return 0;
        return int(frames);
    }

    QProcess m_manager;
    TrayHost m_tray;
    OtherClient x;
};

}  // namespace

TEST_P(AviModuleRun, FfmpegIsMappedOnlyOnceRecompressionIsOfferedAndThenCompresses) {
    ProgramRun run;
    ASSERT_TRUE(startProgram(run));
    const qint64 pid = run.process().processId();
    EXPECT_EQ(mappedAviLibraries(pid), "");

    const int frames = recordUntil(run, QStringLiteral("ビデオの圧縮"));
    ASSERT_GT(frames, 0);
    const std::string loaded = mappedAviLibraries(pid);
    EXPECT_NE(loaded.find("libavcodec"), std::string::npos) << loaded;
    EXPECT_NE(loaded.find("libkadrel_avi"), std::string::npos) << loaded;
    // The first encoder listed, then OK.
    ASSERT_TRUE(sendKeys({"Down", "Return"}));
    const QString avi = run.file(QStringLiteral("動画保存1.avi"));
    std::map<std::string, std::string> probe;
    EXPECT_TRUE(waitUntil(
        [&] {
            probe = probeVideo(avi);
            return probe["codec_name"] == "mjpeg";
        },
        60000));
    EXPECT_EQ(probe["nb_read_frames"], std::to_string(frames));
    EXPECT_TRUE(waitUntil([&] { return !QFile::exists(run.file(QStringLiteral("動画保存1_.avi"))); }));
}

TEST_P(AviModuleRun, WithoutTheModuleTheProgramStartsAndKeepsTheUncompressedFile) {
    ProgramRun run(ProgramRun::builtProgram(), ProgramRun::AviModule::Missing);
    ASSERT_TRUE(startProgram(run));
    const int frames = recordUntil(run, QStringLiteral("警告"));
    ASSERT_GT(frames, 0);
    EXPECT_EQ(mappedAviLibraries(run.process().processId()), "");
    ASSERT_TRUE(sendKeys({"Return"}));
    EXPECT_TRUE(waitUntil([&] { return x.findWindows(QStringLiteral("警告")).empty(); }));
    const auto probe = probeVideo(run.file(QStringLiteral("動画保存1.avi")));
    EXPECT_EQ(probe.at("codec_name"), "rawvideo");
    EXPECT_EQ(probe.at("nb_read_frames"), std::to_string(frames));
    EXPECT_FALSE(QFile::exists(run.file(QStringLiteral("動画保存1_.avi"))));
}

INSTANTIATE_TEST_SUITE_P(WindowManager, AviModuleRun, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "Openbox" : "None";
                         });
