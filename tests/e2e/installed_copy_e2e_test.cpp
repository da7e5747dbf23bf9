// The Debian package as a user meets it: unpacked into a scratch root with its program folder
// read-only, started through its menu entry's Exec by an ordinary user made for the test, who keeps
// settings and frame files in the home folder's configuration and cache folders.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

#include "fakes/media_probe.h"
#include "fakes/test_files.h"
#include "fakes/tray_host.h"
#include "program_run.h"

namespace {

bool run(const QString& program, const QStringList& args) { return QProcess::execute(program, args) == 0; }

// The package unpacked with its program folder read-only, and a user account of the test's own
// (removed again at the end) that starts it through the Exec line of its menu entry.
class InstalledCopy {
public:
    InstalledCopy() { made = run("useradd", {"-m", "-d", home, "-s", "/bin/sh", user}); }
    ~InstalledCopy() {
        // runuser hands its TERM on to the program.
        process.terminate();
        if (!process.waitForFinished(5000)) process.kill();
        process.waitForFinished(3000);
        if (made) run("userdel", {user});
    }
    // The user gets a copy of the display's key, as a login would.
    void prepare(const QString& package) {
        ASSERT_TRUE(made) << "useradd failed";
        ASSERT_TRUE(QFile::setPermissions(scratch.path(), QFile::Permissions(0x7755)));
        ASSERT_TRUE(run("dpkg-deb", {"-x", package, root}));
        ASSERT_TRUE(run("chmod", {"-R", "a-w", root + "/usr/lib/kadrel"}));
        ASSERT_TRUE(QFile::copy(qEnvironmentVariable("XAUTHORITY"), inHome(".Xauthority")));
        ASSERT_TRUE(QDir().mkpath(inHome("pictures")) && run("chown", {"-R", user + ":", home}));
        const QByteArray entry = fileBytes(root + "/usr/share/applications/org.kadrel.Kadrel.desktop");
        for (const QByteArray& line : entry.split('\n'))
            if (line.startsWith("Exec="))
                exec = QString::fromUtf8(line.mid(5)).split(' ', Qt::SkipEmptyParts);
        ASSERT_FALSE(exec.isEmpty());
    }
    void start() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "HOME"}) env.remove(name);
        env.insert("XAUTHORITY", inHome(".Xauthority"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(home);
        process.start("runuser",
                      QStringList{"-u", user, "--", "env", "PATH=" + root + "/usr/bin:/usr/bin:/bin"} + exec);
        ASSERT_TRUE(process.waitForStarted());
    }
    QString inHome(const QString& path) const { return home + '/' + path; }
    QStringList frameFiles() const {
        return QDir(inHome(".cache/kadrel")).entryList({QStringLiteral("kadrel00AVISAVE*")});
    }

    QTemporaryDir scratch;
    const QString root = scratch.path() + "/root";
    const QString home = scratch.path() + "/home";
    const QString user = QStringLiteral("kadrel%1").arg(getpid());
    bool made = false;
    QStringList exec;
    QProcess process;
};

class InstalledCopyRun : public ::testing::TestWithParam<bool> {};
INSTANTIATE_WITH_AND_WITHOUT_WINDOW_MANAGER(InstalledCopyRun);

}  // namespace

TEST_P(InstalledCopyRun, AnOrdinaryUserSavesSettingsPicturesAndARecordingInTheHomeFolder) {
    const QString package = qEnvironmentVariable("KADREL_PACKAGE");
    if (package.isEmpty()) GTEST_SKIP() << "KADREL_PACKAGE names no package: scripts/test makes one";
    Desktop desktop;
    ASSERT_TRUE(desktop.start(GetParam())) << "openbox is needed";
    InstalledCopy copy;
    ASSERT_NO_FATAL_FAILURE(copy.prepare(package));
    const QString pictures = copy.inHome("pictures");
    TrayHost tray;
    ASSERT_TRUE(tray.start()) << "trayer is needed for this test";
    OtherClient x;
    const auto shown = [&](const QString& title, bool shown = true) {
        return waitUntil([&] { return x.findWindows(title).empty() != shown; });
    };
    const auto startProgram = [&] {
        copy.start();
        ASSERT_TRUE(x.waitForKeyboard(kStartCaption));
    };
    startProgram();

    // The settings go to the user's configuration folder, made on the first write.
    ASSERT_TRUE(sendKeys({"ctrl+v"}));
    ASSERT_TRUE(x.waitForKeyboard("設定"));
    ASSERT_TRUE(sendKeys({"Tab", "Tab", "5", "0", "Return"}));
    ASSERT_TRUE(shown("設定", false));
    const QString ini = copy.inHome(".config/kadrel/kadrel.ini");
    EXPECT_TRUE(waitUntil([&] { return fileBytes(ini).contains("power=50\r\n"); }));

    // The save folder chosen in the home folder, where Ctrl+Z saves at half size.
    ASSERT_TRUE(sendKeys({"ctrl+d"}));
    ASSERT_TRUE(x.waitForKeyboard("保存先設定"));
    for (const char* key : {"Right", "Down", "Return"}) {
        waitForFolderRead();
        ASSERT_TRUE(sendKeys({key}));
    }
    ASSERT_TRUE(shown("保存先設定", false));
    ASSERT_TRUE(sendKeys({"ctrl+z"}));
    QImage saved;
    EXPECT_TRUE(waitUntil([&] { return !(saved = QImage(pictures + "/指定先に保存1.jpg")).isNull(); }));
    EXPECT_EQ(saved.size(), QSize(210, 180));
    ASSERT_TRUE(x.waitForKeyboard(kStartCaption));  // the frame is back after its capture

    // Ten frames within three seconds: the frames in the cache folder, gone once the AVI is made.
    ASSERT_TRUE(sendKeys({"ctrl+f"}));
    ASSERT_TRUE(shown("Kadrel1.02 動画保存>録画中"));
    EXPECT_TRUE(waitUntil([&] { return copy.frameFiles().size() >= 10; }));
    const std::size_t boxes = x.findWindows("Kadrel").size();
    ASSERT_TRUE(sendKeys({"ctrl+F3"}));
    ASSERT_TRUE(waitUntil([&] { return x.findWindows("Kadrel").size() > boxes; }));  // the stop box
    const int frames = int(copy.frameFiles().size());
    EXPECT_GE(frames, 10);
    ASSERT_TRUE(sendKeys({"Return"}));
    ASSERT_TRUE(shown("ビデオの圧縮"));
    EXPECT_EQ(copy.frameFiles(), QStringList());
    ASSERT_TRUE(x.waitForKeyboard("ビデオの圧縮"));
    ASSERT_TRUE(sendKeys({"Escape"}));
    ASSERT_TRUE(shown("ビデオの圧縮", false));
    EXPECT_TRUE(x.waitForKeyboard(kStartCaption));  // the frame has the keyboard back
    const auto probe = probeVideo(pictures + "/動画保存1.avi");
    EXPECT_EQ(probe.at("nb_read_frames"), std::to_string(frames));
    EXPECT_EQ(probe.at("width"), "210");

    // A new run reads the same file: the scale and the save folder hold.
    copy.process.terminate();
    ASSERT_TRUE(copy.process.waitForFinished(5000));
    startProgram();
    ASSERT_TRUE(sendKeys({"ctrl+z"}));
    EXPECT_TRUE(waitUntil([&] { return !(saved = QImage(pictures + "/指定先に保存2.jpg")).isNull(); }));
    EXPECT_EQ(saved.size(), QSize(210, 180));
    EXPECT_FALSE(QFile::exists(copy.root + "/usr/lib/kadrel/kadrel.ini"));
}
