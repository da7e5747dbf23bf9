#pragma once

#include <QDialog>
#include <memory>

#include "core/logic/program_state.h"

class FolderTreeModel;
class QPushButton;
class QTreeView;
class MessageBoxes;
class SettingsFrame;
class SettingsDialog;

// The save-folder chooser: a tree of folders, from the home folder and from the root, with OK and
// Cancel. Created once at start-up and then only shown and hidden; each opening shows the save
// folder chosen. OK is enabled while a folder is chosen.
class SaveFolderChooser : public QDialog {
    Q_OBJECT
public:
    SaveFolderChooser(ProgramState& state, SettingsFrame& frame, MessageBoxes& messages);
    ~SaveFolderChooser() override;

    // Known once the start-up has created the settings dialog.
    void setSettingsDialog(SettingsDialog* settingsDialog) { m_settingsDialog = settingsDialog; }
    // Selects a folder in the tree, as a click on it would.
    void selectFolder(const QString& path);

    void acceptFolder();
    void cancel();
    void onClosed();

    bool OpenedFromSettings = false;
    QTreeView* folderTree;
    QPushButton* okButton;
    QPushButton* cancelButton;

signals:
    // OK took a folder and the chooser has closed: a save that waited for one goes on.
    void folderChosen();
    // The chooser closed without taking a folder: a save that waited for one is dropped.
    void closedWithoutFolder();

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void ensureModel();
    void showSaveFolder();
    QString selectedFolder() const;

    ProgramState& m_state;
    SettingsFrame& m_frame;
    MessageBoxes& m_messages;
    SettingsDialog* m_settingsDialog = nullptr;
    FolderTreeModel* m_model = nullptr;
    bool m_accepting = false;
};
