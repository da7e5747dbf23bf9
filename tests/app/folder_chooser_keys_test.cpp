// The save-folder chooser driven by real keys, with a window manager (openbox) and without one.
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QWindow>

#include "fakes/test_files.h"
#include "program_fixture.h"
#include "settings/logic/settings_file.h"
#include "settings/ui/folder_chooser.h"
#include "settings/ui/folder_tree_model.h"

namespace {
class ChooserKeys : public ProgramTest, public ::testing::WithParamInterface<bool> {
protected:
    SaveFolderChooser& chooser() { return *program->folderChooser; }
    FolderTreeModel& model() { return *qobject_cast<FolderTreeModel*>(chooser().folderTree->model()); }
    // Ctrl+A opens the command menu, so the frame has the keyboard. The menu runs its own event
    // loop until it closes, so it is closed from inside that loop.
    void expectMenuOnCtrlA() {
        bool opened = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!form().commandMenu->isVisible()) return;
            opened = true;
            form().commandMenu->close();
        });
        poll.start(20);
        ASSERT_TRUE(sendKeys({"ctrl+a"}));
        EXPECT_TRUE(waitUntil([&] { return opened; }));
    }
};

INSTANTIATE_WITH_AND_WITHOUT_WINDOW_MANAGER(ChooserKeys);
}  // namespace

TEST_P(ChooserKeys, OpensWithTheFocusArrowKeysChooseAndEnterSavesThere) {
    // The stored folder is gone, so no folder is set; the frame stays above other windows.
    ASSERT_TRUE(writeFile(settingsFilePath(folder()), "[image]\r\nupto=1\r\n[File]\r\nDirectory=" +
                                                          (folder() + "gone").toUtf8() + "\r\n"));
    const QString shots = folder() + QStringLiteral("0shots");
    ASSERT_TRUE(QDir().mkpath(shots));
    start(GetParam());
    ASSERT_FALSE(program->state.settings.SaveFolderSet);
    // A recording names the folder that is gone and asks for one; Escape records nothing.
    ASSERT_TRUE(sendKeys({"ctrl+f"}) && waitUntil([&] { return chooser().isActiveWindow(); }));
    EXPECT_EQ(boxes.messages.takeFirst(), QStringLiteral("動画の保存先のフォルダが見つかりません.\n%1gone\n"
                                                         "動画の保存先を選んでください.")
                                              .arg(folder()));
    ASSERT_TRUE(sendKeys({"Escape"}) && waitUntil([&] { return !chooser().isVisible(); }));

    ASSERT_TRUE(sendKeys({"ctrl+z"}));
    ASSERT_TRUE(waitUntil([&] { return chooser().isActiveWindow(); }));
    EXPECT_EQ(chooser().windowHandle()->transientParent(), form().windowHandle());
    OtherClient x;
    EXPECT_TRUE(waitUntil([&] {
        const auto order = x.stackingOrder();
        return stackIndex(order, x.topLevelOf(chooser().winId())) >
               stackIndex(order, x.topLevelOf(form().winId()));
    }));
    // It starts on the program's folder, the nearest one left, chosen.
    const QModelIndex start = chooser().folderTree->currentIndex();
    EXPECT_EQ(model().filePath(start) + QLatin1Char('/'), folder());
    EXPECT_TRUE(chooser().okButton->isEnabled());

    ASSERT_TRUE(sendKeys({"Right"}));
    ASSERT_TRUE(waitUntil([&] { return model().rowCount(start) == 1; }));
    ASSERT_TRUE(sendKeys({"Down"}));
    ASSERT_TRUE(waitUntil([&] { return chooser().okButton->isEnabled(); }));
    ASSERT_TRUE(sendKeys({"Return"}));
    EXPECT_TRUE(waitUntil([&] { return QFile::exists(shots + QStringLiteral("/指定先に保存1.jpg")); }));
    EXPECT_EQ(program->state.settings.SaveDirectory, shots);
    EXPECT_TRUE(waitUntil([&] { return form().isVisible() && form().isActiveWindow(); }));
    expectMenuOnCtrlA();

    // A folder whose name the settings file cannot hold is refused; the saves stay where the menu says.
    const QString accented = folder() + QStringLiteral("été");
    ASSERT_TRUE(QDir().mkpath(accented));
    ASSERT_TRUE(sendKeys({"ctrl+d"}));
    ASSERT_TRUE(waitUntil([&] { return chooser().isActiveWindow(); }));
    EXPECT_EQ(model().filePath(chooser().folderTree->currentIndex()), shots);
    chooser().selectFolder(accented);
    ASSERT_TRUE(sendKeys({"Return"}));
    ASSERT_EQ(boxes.messages.size(), 1);
    EXPECT_TRUE(boxes.messages.front().contains(accented));
    ASSERT_TRUE(sendKeys({"Escape"}));
    ASSERT_TRUE(waitUntil([&] { return !chooser().isVisible() && form().isActiveWindow(); }));
    capture({"ctrl+z"});
    EXPECT_TRUE(waitUntil([&] { return QFile::exists(shots + QStringLiteral("/指定先に保存2.jpg")); }));
    EXPECT_EQ(QDir(accented).entryList(QDir::Files), QStringList());
}
