// The AVI module as the built program meets it: nothing of FFmpeg is mapped at start, the first
// offer of re-compression loads the real module and its codec dialog, and a copy without the module
// starts all the same and keeps the uncompressed file with a warning. Re-compression is reached
// through kadrel_recompress (tests/e2e/programs), the program's own start-up with the end of a
// recording on request. Each case runs without a window manager and under openbox.
#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <string>

#include "fakes/media_probe.h"
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

QString recompressProgram() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/kadrel_recompress");
}

class AviModuleRun : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (!GetParam()) return;
        m_manager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        ASSERT_TRUE(m_manager.waitForStarted()) << "openbox is needed for this test";
        ASSERT_TRUE(waitUntil(
            [] {
                return runTool("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id");
            },
            10000));
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
    // Hands the program an AVI file to write and offer for re-compression; true once the window
    // titled window is up.
    bool offerRecompression(ProgramRun& run, const QString& avi, const QString& window) {
        run.process().write((avi + QLatin1Char('\n')).toUtf8());
        return waitUntil([&] { return !x.findWindows(window).empty(); }, 30000);
    }
    bool finished(ProgramRun& run) {
        QByteArray out;
        return waitUntil(
            [&] {
                out += run.process().readAllStandardOutput();
                return out.contains("finished\n");
            },
            60000);
    }

    QProcess m_manager;
    OtherClient x;
};

TEST_P(AviModuleRun, FfmpegIsMappedOnlyOnceRecompressionIsOfferedAndThenCompresses) {
    {
        ProgramRun kadrel;
        ASSERT_TRUE(startProgram(kadrel));
        EXPECT_EQ(mappedAviLibraries(kadrel.process().processId()), "");
    }
    ProgramRun run(recompressProgram());
    ASSERT_TRUE(startProgram(run));
    const qint64 pid = run.process().processId();
    EXPECT_EQ(mappedAviLibraries(pid), "");

    const QString avi = run.file(QStringLiteral("動画保存1.avi"));
    ASSERT_TRUE(offerRecompression(run, avi, QStringLiteral("ビデオの圧縮")));
    const std::string loaded = mappedAviLibraries(pid);
    EXPECT_NE(loaded.find("libavcodec"), std::string::npos) << loaded;
    EXPECT_NE(loaded.find("libkadrel_avi"), std::string::npos) << loaded;
    // The first encoder listed, then OK.
    ASSERT_TRUE(sendKeys({"Down", "Return"}));
    ASSERT_TRUE(finished(run));
    auto p = probeVideo(avi);
    EXPECT_EQ(p["codec_name"], "mjpeg");
    EXPECT_EQ(p["nb_read_frames"], "10");
    EXPECT_FALSE(QFile::exists(run.file(QStringLiteral("動画保存1_.avi"))));
}

TEST_P(AviModuleRun, WithoutTheModuleTheProgramStartsAndKeepsTheUncompressedFile) {
    {
        ProgramRun kadrel(ProgramRun::builtProgram(), ProgramRun::AviModule::Missing);
        ASSERT_TRUE(startProgram(kadrel));
    }
    ProgramRun run(recompressProgram(), ProgramRun::AviModule::Missing);
    ASSERT_TRUE(startProgram(run));
    const QString avi = run.file(QStringLiteral("clip.avi"));
    ASSERT_TRUE(offerRecompression(run, avi, QStringLiteral("警告")));
    EXPECT_EQ(mappedAviLibraries(run.process().processId()), "");
    ASSERT_TRUE(sendKeys({"Return"}));
    ASSERT_TRUE(finished(run));
    EXPECT_TRUE(x.findWindows(QStringLiteral("警告")).empty());
    auto p = probeVideo(avi);
    EXPECT_EQ(p["codec_name"], "rawvideo");
    EXPECT_EQ(p["nb_read_frames"], "10");
    EXPECT_FALSE(QFile::exists(run.file(QStringLiteral("clip_.avi"))));
}

INSTANTIATE_TEST_SUITE_P(WindowManager, AviModuleRun, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "Openbox" : "None";
                         });

}  // namespace
