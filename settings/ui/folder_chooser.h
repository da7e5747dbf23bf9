#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "core/logic/program_state.h"

class FolderTreeModel;
class QPushButton;
class QTreeView;
class MessageBoxes;
class SettingsFrame;
class TForm3;

// The save-folder chooser: a tree of folders, from the home folder and from the root, with OK and
// Cancel. Created once at start-up and then only shown and hidden; each opening shows the save
// folder chosen. OK is enabled while a folder is chosen.
class TOKBottomDlg : public QDialog {
    Q_OBJECT
public:
    TOKBottomDlg(ProgramState& state, SettingsFrame& frame, MessageBoxes& messages);
    ~TOKBottomDlg() override;

    // Known once the start-up has created the settings dialog.
    void setSettingsDialog(TForm3* form3) { m_form3 = form3; }
    // The save to the folder that runs when one was waiting for a folder.
    void setAppointSave(std::function<void()> appointSave) { m_appointSave = std::move(appointSave); }
    // Selects a folder in the tree, as a click on it would.
    void selectFolder(const QString& path);

    void OKBtnClick();
    void CancelBtnClick();
    void FormClose();

    bool OpenedFromSettings = false;
    QTreeView* ShellTreeView1;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

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
    TForm3* m_form3 = nullptr;
    FolderTreeModel* m_model = nullptr;
    std::function<void()> m_appointSave;
    bool m_accepting = false;
};
