#include <QCheckBox>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTimer>

#include "fakes/image_compare.h"
#include "platform/x11/window_stack.h"
#include "program_fixture.h"
#include "settings/ui/folder_chooser.h"
#include "settings/ui/spin_edit.h"
#include "still/ui/interval_saving.h"

namespace {
const QString kFrameStop = QStringLiteral("<一定時間保存>を停止しました");
const QString kWholeScreenStop = QStringLiteral("一定時間毎に保存>>停止しました");
const QString kMinimizedStop = QStringLiteral("<一定時間毎に保存>を停止しました");
// With the cause: the folder /proc/self admits no new file.
const QString kCannotSave = QStringLiteral("保存できません\nフォルダが見つかりません.");
}  // namespace

class IntervalSave : public ProgramTest {
protected:
    IntervalSaveDialog& dialog() { return program->intervalSaving->dialog(); }
    QString file(int number, const char* extension) const {
        return folder() + QStringLiteral("一定時間ごとに保存%1.").arg(number) + QLatin1String(extension);
    }
    void openDialog() {
        ASSERT_TRUE(sendKeys({"ctrl+x"}));
        ASSERT_TRUE(waitUntil([&] { return dialog().isVisible(); }));
    }
    // Opens the dialog and starts a run; shots 0 leaves the limit as it is.
    void startRun(int intervalMs, int shots) {
        openDialog();
        dialog().intervalField->setText(QString::number(intervalMs));
        if (shots) {
            if (!dialog().shotLimitBox->isChecked()) dialog().shotLimitBox->click();
            dialog().shotLimitField->setText(QString::number(shots));
        }
        dialog().startButton->click();
    }
    bool buttonInShape() {
        return form().appliedShape().contains(form().menuButton->geometry().center() +
                                              ShapedFrame::clientOffset());
    }
    const QString normalCaption = QStringLiteral("Kadrel1.02  420 , 360");
};

TEST_F(IntervalSave, ShotLimitInFrameModeGrabsWhereTheFrameIsAtEachTick) {
    start();
    ASSERT_TRUE(sendKeys({"ctrl+b"}));
    startRun(300, 3);
    EXPECT_FALSE(buttonInShape());
    std::vector<QImage> expected;
    for (const QPoint at : {QPoint(335, 330), QPoint(100, 120), QPoint(700, 500)}) {
        form().move(at);
        waitForXIdle();
        expected.push_back(expectedClient());
        ASSERT_TRUE(waitUntil([&] { return QFile::exists(file(int(expected.size()), "bmp")); }));
    }
    ASSERT_TRUE(waitUntil([&] { return !boxes.messages.isEmpty(); }));
    EXPECT_EQ(boxes.messages, QStringList{kFrameStop});
    for (int i = 0; i < 3; ++i) EXPECT_EQ(decodeImage(file(i + 1, "bmp")), expected[i]) << "shot " << i + 1;
    // No shot after the last.
    EXPECT_TRUE(holdsFor(
        [&] { return QDir(folder()).entryList({QStringLiteral("一定時間*")}, QDir::Files).size() == 3; },
        400));
    EXPECT_TRUE(form().isVisible());
    EXPECT_FALSE(program->state.capture.IntervalMode);
    EXPECT_EQ(form().windowTitle(), normalCaption);
    EXPECT_TRUE(buttonInShape());
}

TEST_F(IntervalSave, ShotLimitInWholeScreenModeRestoresTheApplication) {
    start();
    ASSERT_TRUE(sendKeys({"ctrl+m", "ctrl+b"}));
    startRun(200, 3);
    EXPECT_TRUE(form().isMinimized());
    ASSERT_TRUE(waitUntil([&] { return !boxes.messages.isEmpty(); }));
    EXPECT_EQ(boxes.messages, QStringList{kWholeScreenStop});
    EXPECT_FALSE(form().isMinimized());
    for (int n = 1; n <= 3; ++n) {
        const QImage image = decodeImage(file(n, "bmp"));
        ASSERT_EQ(image.size(), QSize(1920, 1080));
        EXPECT_EQ(image.pixel(1900, 1060), Backdrop::colorAt(1900, 1060).rgb());
    }
    EXPECT_FALSE(QFile::exists(file(4, "bmp")));
}

TEST_F(IntervalSave, CancelSavesNothingAndRestoresCaptionAndShape) {
    start();
    openDialog();
    EXPECT_TRUE(form().windowTitle().endsWith(QStringLiteral("一定時間ごとに保存")));
    EXPECT_FALSE(buttonInShape());
    dialog().cancelButton->click();
    waitForXIdle();
    EXPECT_FALSE(dialog().isVisible());
    EXPECT_EQ(form().windowTitle(), normalCaption);
    EXPECT_TRUE(buttonInShape());
    EXPECT_EQ(QDir(folder()).entryList({QStringLiteral("一定時間*")}, QDir::Files), QStringList{});
    EXPECT_TRUE(boxes.messages.isEmpty());

    // A close of the frame closes the open dialog instead, and says so.
    openDialog();
    EXPECT_FALSE(form().close());
    EXPECT_FALSE(dialog().isVisible());
    EXPECT_FALSE(program->state.capture.IntervalMode);
    EXPECT_EQ(boxes.messages, QStringList{kFrameStop});
    EXPECT_TRUE(buttonInShape());
}

TEST_F(IntervalSave, WithoutAFolderTheDialogOpensOnTheChoosersOk) {
    start();
    program->state.settings.SaveFolderSet = false;
    ASSERT_TRUE(sendKeys({"ctrl+x"}));
    SaveFolderChooser& chooser = *program->folderChooser;
    ASSERT_TRUE(waitUntil([&] { return chooser.isVisible(); }));
    EXPECT_FALSE(dialog().isVisible());
    chooser.selectFolder(dir.path());
    chooser.acceptFolder();
    ASSERT_TRUE(waitUntil([&] { return dialog().isVisible(); }));
    EXPECT_TRUE(window_stack::isTopmost(&form()) && window_stack::isTopmost(&dialog()));
    EXPECT_TRUE(form().windowTitle().endsWith(QStringLiteral("一定時間ごとに保存")));
}

TEST_F(IntervalSave, MinimizingAFramedRunStopsIt) {
    start();
    startRun(100, 0);
    form().showMinimized();
    EXPECT_FALSE(program->state.capture.IntervalMode);
    EXPECT_EQ(boxes.messages, QStringList{kMinimizedStop});
}

TEST_F(IntervalSave, NumbersSkipEarlierFilesAndCarryOverToTheNextRun) {
    start();
    QFile(file(1, "png")).open(QIODevice::WriteOnly);
    QFile(file(2, "gif")).open(QIODevice::WriteOnly);
    startRun(100, 1);
    ASSERT_TRUE(waitUntil([&] { return boxes.messages.size() == 1; }));
    EXPECT_TRUE(QFile::exists(file(3, "jpg")));

    // The limit stays checked with its field locked until the box is clicked again.
    openDialog();
    EXPECT_TRUE(dialog().shotLimitBox->isChecked());
    EXPECT_FALSE(dialog().shotLimitField->isEnabled());
    dialog().startButton->click();
    ASSERT_TRUE(waitUntil([&] { return boxes.messages.size() == 2; }));
    EXPECT_TRUE(QFile::exists(file(4, "jpg")));
    EXPECT_EQ(program->state.capture.IntervalNumber, 5);
}

TEST_F(IntervalSave, UnwritableFolderShowsOneBoxAtATimeAndKeepsTheNumber) {
    // Each box stays open for a while, dispatching events as a real modal box does.
    RecordingMessageBoxes slowBoxes;
    int open = 0, maxOpen = 0;
    slowBoxes.whileShown = [&](const QString&) {
        maxOpen = std::max(maxOpen, ++open);
        QEventLoop loop;
        QTimer::singleShot(400, &loop, &QEventLoop::quit);
        loop.exec();
        --open;
    };
    start(false, &slowBoxes);
    program->state.settings.SaveDirectory = QStringLiteral("/proc/self");
    startRun(100, 0);
    ASSERT_TRUE(waitUntil([&] { return slowBoxes.messages.size() >= 3; }));
    form().close();
    EXPECT_EQ(maxOpen, 1);
    EXPECT_EQ(slowBoxes.messages.last(), kFrameStop);
    EXPECT_EQ(slowBoxes.messages.count(kCannotSave), slowBoxes.messages.size() - 1);
    EXPECT_EQ(program->state.capture.IntervalNumber, 1);
    program.reset();
}
