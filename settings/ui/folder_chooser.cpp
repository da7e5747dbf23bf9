#include "settings/ui/folder_chooser.h"

#include <QCheckBox>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTreeView>

#include "capture_window/ui/frame_window.h"
#include "platform/message_box.h"
#include "platform/window_stack.h"
#include "settings/logic/folder_caption.h"
#include "settings/logic/settings_file.h"
#include "settings/ui/settings_dialog.h"

TOKBottomDlg::TOKBottomDlg(ProgramState& state, TForm1& form1, MessageBoxes& messages)
    : QDialog(nullptr), m_state(state), m_form1(form1), m_messages(messages) {
    setWindowTitle(QStringLiteral("保存先設定"));
    setFont(form1.font());
    setFixedSize(298, 311);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    ShellTreeView1 = new QTreeView(this);
    ShellTreeView1->setGeometry(8, 8, 281, 265);
    ShellTreeView1->setHeaderHidden(true);
    ShellTreeView1->setRootIsDecorated(false);
    ShellTreeView1->setIndentation(19);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setGeometry(119, 284, 75, 25);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("キャンセル"), this);
    CancelBtn->setGeometry(207, 284, 75, 25);
    CancelBtn->setAutoDefault(false);
    connect(OKBtn, &QPushButton::clicked, this, &TOKBottomDlg::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TOKBottomDlg::CancelBtnClick);
}

// The folder tree is read only when first needed, so that start-up does not scan the disk.
void TOKBottomDlg::ensureModel() {
    if (m_model) return;
    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_model->setReadOnly(true);
    m_model->setRootPath(QDir::rootPath());
    ShellTreeView1->setModel(m_model);
    for (int column = 1; column < m_model->columnCount(); ++column) ShellTreeView1->hideColumn(column);
}

void TOKBottomDlg::showEvent(QShowEvent* event) {
    ensureModel();
    QDialog::showEvent(event);
}

void TOKBottomDlg::selectFolder(const QString& path) {
    ensureModel();
    const QModelIndex index = m_model->index(path);
    ShellTreeView1->setCurrentIndex(index);
    ShellTreeView1->scrollTo(index);
}

QString TOKBottomDlg::selectedFolder() const {
    if (!m_model) return {};
    const QModelIndex index = ShellTreeView1->currentIndex();
    return index.isValid() ? m_model->filePath(index) : QString();
}

void TOKBottomDlg::OKBtnClick() {
    Settings& s = m_state.settings;
    s.SaveDirectory = selectedFolder();
    if (m_form3) m_form3->setFolderField(s.SaveDirectory);
    const QString path = settingsFilePath(s.ProgramDirectory);
    if (!writeSaveDirectory(path, s.SaveDirectory))
        return m_messages.error(this, QStringLiteral("%1 に書き込めません").arg(path));
    m_form1.setFolderItemCaption(FolderCaption(s.SaveDirectory, 14));
    s.SaveFolderSet = true;
    m_accepting = true;
    close();
    m_accepting = false;
    if (m_state.capture.SaveToFolderPending && m_appointSave) m_appointSave();
}

void TOKBottomDlg::CancelBtnClick() { close(); }

// Every way of closing (OK, Cancel, Esc, the title bar) comes through here.
void TOKBottomDlg::reject() {
    // A save that waited for a folder is dropped when no folder was chosen: it must not fire
    // at some later, unrelated choice of folder.
    if (!m_accepting) m_state.capture.SaveToFolderPending = false;
    FormClose();
    QDialog::reject();
}

void TOKBottomDlg::FormClose() {
    if (!OpenedFromSettings) m_form1.setEnabled(true);
    OpenedFromSettings = false;
    window_stack::setTopmost(this, false);
    if (m_form3 && m_form3->alwaysOnTop()) window_stack::setTopmost(&m_form1, true);
}
