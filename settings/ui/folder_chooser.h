#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "core/logic/program_state.h"
#include "core/ui/save_folder_port.h"

class FolderTreeModel;
class QPushButton;
class QTreeView;
class MessageBoxes;
class SettingsFrame;

// The save-folder chooser: a tree of folders, from the home folder and from the root, with OK and
// Cancel. Created once at start-up and then only shown and hidden; each opening reads the folders
// anew and shows the save folder chosen. OK is enabled while a folder is chosen.
class SaveFolderChooser : public QDialog, public SaveFolderPort {
    Q_OBJECT
public:
    SaveFolderChooser(ProgramState& state, SettingsFrame& frame, MessageBoxes& messages);
    ~SaveFolderChooser() override;

    // Known once the start-up has created the settings dialog.
    // Opens the chooser over a dialog of the frame's, which gets the keyboard back when it closes; the
    // frame stays disabled until that dialog closes too.
    void openOver(QWidget* opener);
    void askForFolder(std::function<void()> chosen) override;
    // Selects a folder in the tree, as a click on it would.
    void selectFolder(const QString& path);

    void acceptFolder();
    void cancel();
    void onClosed();

    QTreeView* folderTree;
    QPushButton* okButton;
    QPushButton* cancelButton;

signals:
    // OK stored a folder; the chooser is still open.
    void folderStored(const QString& folder);
    // OK took a folder and the chooser has closed: a save that waited for one goes on.
    void folderChosen();
    // The chooser closed without taking a folder: a save that waited for one is dropped.
    void closedWithoutFolder();

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void ensureModel();
    // Chooses folder, or the nearest folder left of one that is gone.
    void chooseNearest(const QString& folder);
    QString selectedFolder() const;

    ProgramState& m_state;
    SettingsFrame& m_frame;
    MessageBoxes& m_messages;
    // The dialog the chooser was opened over; null when opened over the frame.
    QWidget* m_opener = nullptr;
    FolderTreeModel* m_model = nullptr;
    bool m_accepting = false;
    // What waits for the folder that askForFolder asked for.
    std::function<void()> m_whenChosen;
};
