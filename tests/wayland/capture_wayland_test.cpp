// The built program on a Wayland desktop (headless GNOME and KDE), where the X server shows an X client
// only its own windows: the keys' pictures come through the desktop's screenshot portal, and the frame
// stays above the desktop's own windows.
#include <QClipboard>
#include <QImage>
#include <QProcess>

#include "e2e/program_run.h"
#include "test_pictures.h"
#include "wayland_session.h"

namespace {

// Whether the frame has the keyboard, as the desktop says.
bool frameHasKeyboard() {
    QProcess p;
    p.start(QStringLiteral("xprop"),
            {QStringLiteral("-name"), kStartCaption, QStringLiteral("_NET_WM_STATE")});
    return p.waitForFinished(30000) && p.readAllStandardOutput().contains("_NET_WM_STATE_FOCUSED");
}

QImage waitForImage(const QString& path) {
    QImage image;
    waitUntil([&] { return !(image = QImage(path)).isNull(); });
    return image.convertToFormat(QImage::Format_RGB32);
}

// Shows a known picture where the frame's client area comes up and starts a copy of the built program
// in folder (installProgram), both as the session's user.
void startOverPicture(WaylandSession& session, QString& folder) {
    folder = session.installProgram();
    ASSERT_FALSE(folder.isEmpty());
    const QString picture = folder + QStringLiteral("/picture.png");
    ASSERT_TRUE(test_pictures::ramps(QRect(200, 200, 1000, 800)).save(picture));
    ASSERT_EQ(QProcess::execute(QStringLiteral("chown"), {session.user(), picture}), 0);
    session.start(
        {QStringLiteral("feh"), QStringLiteral("--borderless"), QStringLiteral("--title"),
         QStringLiteral("picture"), QStringLiteral("-g"), QStringLiteral("1000x800+200+200"), picture},
        folder);
    ASSERT_TRUE(windowShown(QStringLiteral("picture")));
    // Mapped is not yet drawn: the desktop shows the picture before the frame comes over it.
    const QString shot = folder + QStringLiteral("/desktop.png");
    const QPoint inPicture(250, 250);
    ASSERT_TRUE(waitUntil([&] {
        return session.desktopTool({QStringLiteral("screenshot"), shot}) &&
               QImage(shot).pixel(inPicture) ==
                   test_pictures::ramps(QRect(inPicture, QSize(1, 1))).pixel(0, 0);
    }));
    session.start({folder + QStringLiteral("/kadrel")}, folder);
    ASSERT_TRUE(windowShown(kStartCaption));
}

}  // namespace

TEST(WaylandCapture, SaveCopyAndSaveAsGiveThePixelsUnderTheFrame) {
    WaylandSession gnome(WaylandSession::Desktop::Gnome);
    REQUIRE_SESSION(gnome);
    const WaylandSession::OnItsDisplay display(gnome);
    QString folder;
    ASSERT_NO_FATAL_FAILURE(startOverPicture(gnome, folder));
    const QImage expected = test_pictures::ramps(kStartClient);

    ASSERT_TRUE(keysInto(kStartCaption, {"ctrl+p", "ctrl+z"}));
    EXPECT_EQ(waitForImage(folder + QStringLiteral("/指定先に保存1.png")), expected);

    ASSERT_TRUE(windowShown(kStartCaption));
    ASSERT_TRUE(keysInto(kStartCaption, {"ctrl+c"}));
    QImage copied;
    EXPECT_TRUE(waitUntil([&] {
        const std::optional<QByteArray> png =
            gnome.output({QStringLiteral("xclip"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
                          QStringLiteral("-t"), QStringLiteral("image/png"), QStringLiteral("-o")});
        copied = png ? QImage::fromData(*png, "PNG").convertToFormat(QImage::Format_RGB32) : QImage();
        return copied == expected;
    }));

    ASSERT_TRUE(windowShown(kStartCaption));
    ASSERT_TRUE(keysInto(kStartCaption, {"ctrl+s"}));
    ASSERT_TRUE(windowShown(QStringLiteral("名前を付けて保存")));
    ASSERT_TRUE(xdotool({"type", "--delay", "20", "shot"}) && sendKeys({"Return"}));
    EXPECT_EQ(waitForImage(folder + QStringLiteral("/shot.png")), expected);

    // A desktop that refuses: a box says so, and nothing is saved.
    ASSERT_TRUE(gnome.output(
        {QStringLiteral("gdbus"), QStringLiteral("call"), QStringLiteral("--session"),
         QStringLiteral("--dest"), QStringLiteral("org.freedesktop.impl.portal.PermissionStore"),
         QStringLiteral("--object-path"), QStringLiteral("/org/freedesktop/impl/portal/PermissionStore"),
         QStringLiteral("--method"),
         QStringLiteral("org.freedesktop.impl.portal.PermissionStore.SetPermission"),
         QStringLiteral("screenshot"), QStringLiteral("true"), QStringLiteral("screenshot"),
         QStringLiteral(""), QStringLiteral("['no']")}));
    ASSERT_TRUE(windowShown(kStartCaption));
    ASSERT_TRUE(keysInto(kStartCaption, {"ctrl+z"}));
    EXPECT_TRUE(windowShown(QStringLiteral("Kadrel")));
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral("/指定先に保存2.png")));

    // The portal's files were read and removed.
    const QString home = gnome.value(QStringLiteral("HOME"));
    EXPECT_EQ(QDir(home).entryList({QStringLiteral("Screenshot*")}, QDir::Files), QStringList());
    EXPECT_EQ(QDir(home + QStringLiteral("/Pictures")).entryList(QDir::Files), QStringList());
}

// The frame stays above a window of the desktop's own that takes the keyboard, and its client area
// shows that window through it.
TEST(WaylandFrame, StaysAboveANativeWindowThatTakesTheKeyboardAndShowsItThrough) {
    WaylandSession gnome(WaylandSession::Desktop::Gnome);
    REQUIRE_SESSION(gnome);
    const QString folder = gnome.installProgram();
    ASSERT_FALSE(folder.isEmpty());
    const WaylandSession::OnItsDisplay display(gnome);
    gnome.start({folder + QStringLiteral("/kadrel")}, folder);
    ASSERT_TRUE(windowShown(kStartCaption));

    gnome.start(
        {QStringLiteral("env"), QStringLiteral("GDK_BACKEND=wayland"), QStringLiteral("/usr/bin/python3"),
         QStringLiteral(KADREL_SOURCE_DIR "/tests/wayland/native_window.py")},
        folder);
    const QPoint onNative(1500, 800);  // beside the frame, on the native window
    const QString shot = folder + QStringLiteral("/desktop.png");
    QImage desktop;
    const auto takeShot = [&] {
        desktop = gnome.desktopTool({QStringLiteral("screenshot"), shot}) ? QImage(shot) : QImage();
        return !desktop.isNull();
    };
    const QRgb green = qRgb(0, 204, 0);
    ASSERT_TRUE(waitUntil([&] { return takeShot() && desktop.pixel(onNative) == green; }));
    // The native window takes the keyboard from the frame.
    EXPECT_TRUE(waitUntil([&] {
        gnome.desktopTool(
            {QStringLiteral("click"), QString::number(onNative.x()), QString::number(onNative.y())});
        return !frameHasKeyboard();
    }));
    ASSERT_TRUE(takeShot());
    EXPECT_EQ(desktop.pixel(kStartClient.center()), green);                  // seen through the frame
    EXPECT_NE(desktop.pixel(kStartClient.topLeft() - QPoint(2, 2)), green);  // the frame's border, above
}

// kwin takes its screenshots itself, without asking; the KDE portal leaves them in ~/Pictures.
TEST(WaylandCapture, UnderKdeCtrlZSavesThePixelsUnderTheFrame) {
    WaylandSession kde(WaylandSession::Desktop::Kde);
    REQUIRE_SESSION(kde);
    const WaylandSession::OnItsDisplay display(kde);
    QString folder;
    ASSERT_NO_FATAL_FAILURE(startOverPicture(kde, folder));
    // Over a shaped 24-bit frame kwin kept showing what it last drew in the hole: the picture moves once
    // the frame is up, so that stale pixels cannot pass for the ones under the frame now.
    ASSERT_TRUE(xdotool(
        {"search", "--onlyvisible", "--name", "^picture$", "windowmove", "--sync", "%1", "200", "100"}));

    ASSERT_TRUE(keysInto(kStartCaption, {"ctrl+p", "ctrl+z"}));
    EXPECT_EQ(waitForImage(folder + QStringLiteral("/指定先に保存1.png")),
              test_pictures::ramps(kStartClient.translated(0, 100)));
    EXPECT_EQ(QDir(kde.value(QStringLiteral("HOME")) + QStringLiteral("/Pictures")).entryList(QDir::Files),
              QStringList());
}
