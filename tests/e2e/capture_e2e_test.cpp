// Captures of the built program, driven by real key events, checked with Qt's image readers.
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>

#include "program_run.h"

namespace {
QImage expectedClient() {
    QImage image(kStartClient.size(), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, Backdrop::colorAt(kStartClient.x() + x, kStartClient.y() + y).rgb());
    return image;
}

// Waits until the program has written a whole file that Qt can read.
QImage waitForImage(const QString& path) {
    QImage image;
    waitUntil([&] { return !(image = QImage(path)).isNull(); }, 8000);
    return image.convertToFormat(QImage::Format_RGB32);
}
}  // namespace

TEST(ProgramCapture, KeysSaveEachFormatIntoTheProgramFolderAndCopyToTheClipboard) {
    ProgramOnBackdrop program;
    ASSERT_TRUE(program.start());
    ProgramRun& run = program.run;
    waitUntil([] { return false; }, 300);
    const QImage expected = expectedClient();

    ASSERT_TRUE(sendKeys({"ctrl+z"}));
    const QImage jpeg = waitForImage(run.file(QStringLiteral("指定先に保存1.jpg")));
    ASSERT_EQ(jpeg.size(), expected.size());

    ASSERT_TRUE(sendKeys({"ctrl+b", "ctrl+z"}));
    EXPECT_EQ(waitForImage(run.file(QStringLiteral("指定先に保存2.bmp"))), expected);
    ASSERT_TRUE(sendKeys({"ctrl+p", "ctrl+z"}));
    EXPECT_EQ(waitForImage(run.file(QStringLiteral("指定先に保存3.png"))), expected);
    ASSERT_TRUE(sendKeys({"ctrl+g", "ctrl+z"}));
    EXPECT_EQ(waitForImage(run.file(QStringLiteral("指定先に保存4.gif"))).size(), expected.size());
    ASSERT_TRUE(sendKeys({"ctrl+j", "ctrl+z"}));
    EXPECT_EQ(QImageReader(run.file(QStringLiteral("指定先に保存5.jpg"))).format(), "jpeg");
    EXPECT_FALSE(QFile::exists(run.file(QStringLiteral("kadrel.bmp"))));

    // The clipboard is read back as any other program reads it.
    ASSERT_TRUE(sendKeys({"ctrl+c"}));
    QImage copied;
    EXPECT_TRUE(waitUntil([&] {
        copied = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
        return copied.size() == expected.size();
    }));
    EXPECT_EQ(copied, expected);
}
