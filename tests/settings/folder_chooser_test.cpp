#include "settings/ui/folder_chooser.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <QWindow>

#include "capture_window/ui/frame_window.h"
#include "fakes/frame_harness.h"
#include "fakes/recording_message_boxes.h"
#include "fakes/test_files.h"
#include "fakes/x11_test_support.h"
#include "platform/x11/global_hotkey.h"
#include "platform/x11/window_stack.h"
#include "settings/logic/settings_file.h"
#include "settings/ui/folder_tree_model.h"
#include "settings/ui/settings_dialog.h"

// The frame window, the chooser and the settings dialog, created in the program's order.
class FolderChooserTest : public ::testing::Test, protected FrameHarness {
protected:
    FolderChooserTest() {
        settingsDialog = std::make_unique<SettingsDialog>(state, form1, chooser, boxes, hotkeys);
        form1.show();
    }
    // A folder whose full path takes exactly `bytes` bytes.
    QString folderOfLength(int bytes) {
        const QString base = dir.path() + QLatin1Char('/');
        const QString path = base + QString(bytes - base.size(), QLatin1Char('f'));
        EXPECT_TRUE(QDir().mkpath(path));
        return path;
    }
    QString menuCaption() const {
        return form1.menuItem(FrameCommand::ChooseSaveFolder)->text().section(QLatin1Char('\t'), 0, 0);
    }

    SaveFolderChooser chooser{state, form1, boxes};
    std::unique_ptr<SettingsDialog> settingsDialog;
};

TEST_F(FolderChooserTest, OkStoresTheFolderAtOnceAndShowsItInTheMenu) {
    const QString folder = folderOfLength(40);
    form1.openDialog(&chooser);
    EXPECT_TRUE(chooser.isVisible());
    EXPECT_FALSE(form1.isEnabled());
    EXPECT_TRUE(window_stack::isTopmost(&chooser));
    chooser.selectFolder(folder);
    chooser.acceptFolder();
    EXPECT_FALSE(chooser.isVisible());
    EXPECT_TRUE(form1.isEnabled());
    EXPECT_FALSE(window_stack::isTopmost(&chooser));
    EXPECT_TRUE(state.settings.SaveFolderSet);
    EXPECT_EQ(menuCaption(), QStringLiteral("指定先 ") + folder.left(10) + QStringLiteral("…"));
    EXPECT_EQ(readSettings(settingsFilePath(state.settings.ProgramDirectory), state.settings.ProgramDirectory)
                  .SaveDirectory,
              folder);
}

TEST_F(FolderChooserTest, FourteenBytesShowWholeFifteenAreCut) {
    // A short folder needs a short path: the root of the file system will do.
    chooser.selectFolder(QStringLiteral("/"));
    chooser.acceptFolder();
    EXPECT_EQ(menuCaption(), QStringLiteral("指定先  /"));
    EXPECT_EQ(state.settings.SaveDirectory, QStringLiteral("/"));
    QTemporaryDir shortDir(QStringLiteral("/tmp/kXXXXXX"));  // 12 bytes
    ASSERT_EQ(shortDir.path().size(), 12);
    for (const int bytes : {14, 15}) {
        const QString folder = shortDir.path() + QLatin1Char('/') + QString(bytes - 13, QLatin1Char('f'));
        ASSERT_TRUE(QDir().mkpath(folder));
        chooser.selectFolder(folder);
        chooser.acceptFolder();
        EXPECT_EQ(menuCaption(), bytes == 14
                                     ? QStringLiteral("指定先  ") + folder
                                     : QStringLiteral("指定先 ") + folder.left(10) + QStringLiteral("…"));
    }
}

TEST_F(FolderChooserTest, FromTheSettingsDialogTheFrameStaysDisabledUntilThatCloses) {
    const QString folder = folderOfLength(30);
    form1.openDialog(settingsDialog.get());
    settingsDialog->chooseFolderButton->click();
    EXPECT_TRUE(chooser.isVisible());
    // It stays above the window it was opened from, without being above every window.
    EXPECT_EQ(chooser.windowHandle()->transientParent(), settingsDialog->windowHandle());
    EXPECT_FALSE(window_stack::isTopmost(&chooser));
    chooser.selectFolder(folder);
    chooser.acceptFolder();
    EXPECT_EQ(settingsDialog->saveFolderField->text(), folder);
    EXPECT_FALSE(form1.isEnabled());
    settingsDialog->cancelButton->click();  // the dialog's Cancel does not undo the folder
    EXPECT_TRUE(form1.isEnabled());
    EXPECT_EQ(state.settings.SaveDirectory, folder);

    // A later opening from the menu enables the frame again when it closes.
    form1.openDialog(&chooser);
    EXPECT_EQ(chooser.windowHandle()->transientParent(), form1.windowHandle());
    chooser.cancel();
    EXPECT_TRUE(form1.isEnabled());
}

TEST_F(FolderChooserTest, ARefusedWriteKeepsTheChooserOpen) {
    QFile ini(settingsFilePath(state.settings.ProgramDirectory));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.close();
    ASSERT_TRUE(ini.setPermissions(QFile::ReadOwner));
    const QString before = menuCaption();
    form1.openDialog(&chooser);
    chooser.selectFolder(folderOfLength(30));
    chooser.acceptFolder();
    EXPECT_EQ(boxes.errors, QStringList{QStringLiteral("%1 に書き込めません").arg(ini.fileName())});
    EXPECT_TRUE(chooser.isVisible());
    EXPECT_FALSE(form1.isEnabled());
    EXPECT_EQ(menuCaption(), before);
    // The saves keep going where the menu says.
    EXPECT_EQ(state.settings.SaveDirectory, state.settings.ProgramDirectory);
}

TEST_F(FolderChooserTest, OpensOnTheSaveFolderOrTheNearestOneLeftReadyForOk) {
    const QString folder = folderOfLength(30);
    const QString home = QDir::homePath();
    const struct {
        QString saved, chosen;
    } rows[] = {
        // As stored, and as the program's folder is named, with the separator at the end.
        {folder, folder},
        {folder + QLatin1Char('/'), folder},
        {folder + QStringLiteral("/gone/deeper"), folder},
        {QStringLiteral("/gone-%1/deeper").arg(QCoreApplication::applicationPid()), home},
        {QString(), home},
    };
    for (const auto& row : rows) {
        state.settings.SaveDirectory = row.saved;
        form1.openDialog(&chooser);
        const auto* model = qobject_cast<const FolderTreeModel*>(chooser.folderTree->model());
        ASSERT_NE(model, nullptr);
        EXPECT_EQ(model->filePath(chooser.folderTree->currentIndex()), row.chosen) << row.saved.toStdString();
        EXPECT_TRUE(chooser.okButton->isEnabled()) << row.saved.toStdString();
        chooser.cancel();
    }
    // The home folder heads the tree, beside the root.
    auto* model = qobject_cast<FolderTreeModel*>(chooser.folderTree->model());
    EXPECT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->filePath(model->index(0, 0)), home);
    EXPECT_EQ(model->filePath(model->index(1, 0)), QDir::rootPath());

    // Each opening shows the folders as they are now; OK on one removed meanwhile names it and
    // stores nothing.
    const QString made = folderOfLength(31);
    ASSERT_TRUE(QDir(folder).removeRecursively());
    form1.openDialog(&chooser);
    const QModelIndex parent = model->indexOf(dir.path());
    EXPECT_EQ(model->filePath(model->index(0, 0, parent)), made);
    chooser.selectFolder(made);
    ASSERT_TRUE(QDir(made).removeRecursively());
    chooser.acceptFolder();
    EXPECT_EQ(boxes.messages.join(""),
              QStringLiteral("フォルダ「%1」が見つかりません.\nほかのフォルダを選んでください.").arg(made));
    EXPECT_EQ(std::tuple(chooser.isVisible(), model->rowCount(parent), state.settings.SaveDirectory),
              std::tuple(true, 0, QString()));
}

TEST_F(FolderChooserTest, AFolderNameShiftJisCannotHoldIsRefusedAndChangesNothing) {
    const QString kept = folderOfLength(30);
    chooser.selectFolder(kept);
    chooser.acceptFolder();
    const QString ini = settingsFilePath(state.settings.ProgramDirectory);
    const QByteArray stored = fileBytes(ini);
    const QString caption = menuCaption();
    const QString accented = dir.path() + QStringLiteral("/café");
    ASSERT_TRUE(QDir().mkpath(accented));

    form1.openDialog(settingsDialog.get());
    settingsDialog->chooseFolderButton->click();
    chooser.selectFolder(accented);
    chooser.acceptFolder();
    EXPECT_EQ(boxes.messages,
              QStringList{QStringLiteral("フォルダ名「%1」には設定ファイルに保存できない文字が"
                                         "含まれているため、保存先にできません")
                              .arg(accented)});
    EXPECT_TRUE(boxes.errors.isEmpty());
    EXPECT_TRUE(chooser.isVisible());
    EXPECT_EQ(state.settings.SaveDirectory, kept);
    EXPECT_EQ(settingsDialog->saveFolderField->text(), kept);
    EXPECT_EQ(menuCaption(), caption);
    EXPECT_EQ(fileBytes(ini), stored);
}
