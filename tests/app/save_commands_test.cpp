#include <QClipboard>
#include <QFile>
#include <QImageReader>
#include <QPushButton>

#include "fakes/image_compare.h"
#include "program_fixture.h"
#include "settings/ui/folder_chooser.h"

TEST_F(ProgramTest, UnwritableFolderSaysSoAndKeepsTheNumber) {
    start();
    program->state.settings.SaveDirectory = QStringLiteral("/proc/self");
    capture({"ctrl+z"});
    capture({"ctrl+z"});
    EXPECT_EQ(boxes.messages, QStringList(2, QStringLiteral("保存できません\nフォルダが見つかりません.")));
    EXPECT_EQ(program->state.capture.DesignatedNumber, 1);
}

TEST_F(ProgramTest, CopyPutsTheScaledUnclippedPixelsOnTheClipboard) {
    start();
    program->state.settings.ScalePercent = 50;
    program->state.settings.JpegQuality = 10;
    capture({"ctrl+c"});
    const QImage copied = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
    const QImage full = expectedClient();
    ASSERT_EQ(copied.size(), QSize(210, 180));
    // Nearest pixel: every other column and row, exactly.
    for (int y = 0; y < copied.height(); y += 7)
        for (int x = 0; x < copied.width(); x += 5) ASSERT_EQ(copied.pixel(x, y), full.pixel(2 * x, 2 * y));
}

TEST_F(ProgramTest, SaveAsAsksWithTheFormatsFilterAndWritesNothingOnCancel) {
    start();
    capture({"ctrl+p", "ctrl+s"});
    EXPECT_EQ(saveDialog.opened, 1);
    EXPECT_EQ(saveDialog.filterIndex, 2);
    EXPECT_EQ(saveDialog.suffix, QStringLiteral("png"));
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files), QStringList{});

    // The format follows the menu, not the name's extension.
    saveDialog.answers.push_back(folder() + QStringLiteral("shot.jpg"));
    capture({"ctrl+b", "ctrl+s"});
    EXPECT_EQ(saveDialog.filterIndex, 5);
    EXPECT_EQ(QImageReader(folder() + QStringLiteral("shot.jpg")).format(), "bmp");
    EXPECT_TRUE(form().isVisible());
    EXPECT_TRUE(form().menuButton->isVisible());
}

TEST_F(ProgramTest, WithoutAFolderTheChooserOpensAndItsOkSaves) {
    start();
    program->state.settings.SaveFolderSet = false;
    QTemporaryDir chosen;
    ASSERT_TRUE(sendKeys({"ctrl+z"}));
    SaveFolderChooser& chooser = *program->folderChooser;
    ASSERT_TRUE(waitUntil([&] { return chooser.isVisible(); }));
    EXPECT_FALSE(form().isEnabled());
    chooser.selectFolder(chosen.path());
    chooser.acceptFolder();
    ASSERT_TRUE(
        waitUntil([&] { return QFile::exists(chosen.path() + QStringLiteral("/指定先に保存1.jpg")); }));
    EXPECT_TRUE(form().isEnabled());
    EXPECT_TRUE(program->state.settings.SaveFolderSet);
    EXPECT_EQ(program->state.settings.SaveDirectory, chosen.path());

    // Cancelling drops the waiting save: a later choice of folder saves nothing by itself.
    program->state.settings.SaveFolderSet = false;
    ASSERT_TRUE(sendKeys({"ctrl+z"}));
    ASSERT_TRUE(waitUntil([&] { return chooser.isVisible(); }));
    chooser.cancel();
    choose(FrameCommand::ChooseSaveFolder);
    chooser.selectFolder(chosen.path());
    chooser.acceptFolder();
    EXPECT_TRUE(
        holdsFor([&] { return !QFile::exists(chosen.path() + QStringLiteral("/指定先に保存2.jpg")); }, 200));
}

TEST_F(ProgramTest, FramePartlyOffTheScreenIsClippedToTheScreen) {
    start();
    capture({"ctrl+b"});
    form().move(-100, -50);  // left edge and client top above the screen
    waitForXIdle();
    capture({"ctrl+z"});
    const QImage image = decodeImage(folder() + QStringLiteral("指定先に保存1.bmp"));
    const QPoint origin = form().clientOrigin();  // (-96, -27)
    ASSERT_EQ(image.size(), QSize(origin.x() + 420, origin.y() + 360));
    EXPECT_EQ(image.pixel(0, 0), Backdrop::colorAt(0, 0).rgb());
    EXPECT_EQ(image.pixel(image.width() - 1, image.height() - 1),
              Backdrop::colorAt(image.width() - 1, image.height() - 1).rgb());

    // Past the right and bottom edges the picture runs from the client origin to the screen's edges.
    form().move(1700, 900);
    waitForXIdle();
    capture({"ctrl+z"});
    const QImage corner = decodeImage(folder() + QStringLiteral("指定先に保存2.bmp"));
    ASSERT_EQ(corner.size(), QSize(1920 - 1704, 1080 - 923));
    EXPECT_EQ(corner.pixel(0, 0), Backdrop::colorAt(1704, 923).rgb());
    EXPECT_EQ(corner.pixel(corner.width() - 1, corner.height() - 1), Backdrop::colorAt(1919, 1079).rgb());
}

TEST_F(ProgramTest, AScaleTooLargeForAnImageFailsWithItsMessage) {
    start();
    program->state.settings.ScalePercent = 2000000;
    capture({"ctrl+m", "ctrl+z"});
    EXPECT_EQ(boxes.messages, QStringList{QStringLiteral("画像を作成できません")});
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files), QStringList{});
    EXPECT_TRUE(form().isVisible());
}

TEST_F(ProgramTest, AFrameWhollyOffTheScreenSavesNothingAndCrashesNothing) {
    start();
    form().move(2500, 200);
    waitForXIdle();
    capture({"ctrl+z"});
    EXPECT_EQ(boxes.messages, QStringList{QStringLiteral("保存できません")});
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files), QStringList{});
    // The copy is not clipped: the client-sized picture, with nothing from off the screen read.
    capture({"ctrl+c"});
    const QImage copied = QGuiApplication::clipboard()->image();
    EXPECT_EQ(copied.size(), QSize(420, 360));
    EXPECT_EQ(copied.pixel(10, 10) & 0xffffff, 0u);
}
