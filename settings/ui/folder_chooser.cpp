#include "settings/ui/folder_chooser.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTreeView>

#include "core/ui/frame_ports.h"
#include "platform/system/text_encoding.h"
#include "platform/x11/message_box.h"
#include "platform/x11/window_stack.h"
#include "settings/logic/folder_caption.h"
#include "settings/logic/settings_file.h"
#include "settings/ui/folder_tree_model.h"
#include "settings/ui/settings_dialog.h"

TOKBottomDlg::TOKBottomDlg(ProgramState& state, SettingsFrame& frame, MessageBoxes& messages)
    : QDialog(nullptr), m_state(state), m_frame(frame), m_messages(messages) {
    setWindowTitle(QStringLiteral("保存先設定"));
    setFont(frame.window().font());
    setFixedSize(298, 311);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    ShellTreeView1 = new QTreeView(this);
    ShellTreeView1->setGeometry(8, 8, 281, 265);
    ShellTreeView1->setHeaderHidden(true);
    // The root needs its expand mark: it is the only way into the tree with the mouse.
    ShellTreeView1->setRootIsDecorated(true);
    ShellTreeView1->setIndentation(19);
    // The buttons are as wide as the style's least for a button with text.
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setGeometry(121, 284, 80, 25);
    OKBtn->setDefault(true);
    OKBtn->setEnabled(false);
    CancelBtn = new QPushButton(QStringLiteral("キャンセル"), this);
    CancelBtn->setGeometry(209, 284, 80, 25);
    CancelBtn->setAutoDefault(false);
    connect(OKBtn, &QPushButton::clicked, this, &TOKBottomDlg::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TOKBottomDlg::CancelBtnClick);
}

TOKBottomDlg::~TOKBottomDlg() = default;

// The folder tree is made only when first needed, so that start-up reads no folders.
void TOKBottomDlg::ensureModel() {
    if (m_model) return;
    m_model = new FolderTreeModel(this);
    ShellTreeView1->setModel(m_model);
    // OK takes the chosen folder only: the item the tree marks as current by itself is not a choice.
    connect(ShellTreeView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { OKBtn->setEnabled(!selectedFolder().isEmpty()); });
}

void TOKBottomDlg::showEvent(QShowEvent* event) {
    showSaveFolder();
    QDialog::showEvent(event);
}

// The save folder is chosen when the chooser opens. Of a folder that is gone, the nearest folder
// left is chosen instead, or the home folder when only the root is left, so that OK and Enter
// work at once.
void TOKBottomDlg::showSaveFolder() {
    ensureModel();
    // The program's own folder, the first save folder, ends with a separator.
    QString folder = QDir::cleanPath(m_state.settings.SaveDirectory);
    if (!QDir::isAbsolutePath(folder)) folder = QDir::rootPath();
    while (!QFileInfo(folder).isDir() && folder != QDir::rootPath()) folder = QFileInfo(folder).path();
    if (folder == QDir::rootPath() && QDir::cleanPath(m_state.settings.SaveDirectory) != folder)
        folder = QDir::homePath();
    selectFolder(folder);
}

void TOKBottomDlg::selectFolder(const QString& path) {
    ensureModel();
    const QModelIndex index = m_model->indexOf(path);
    ShellTreeView1->setCurrentIndex(index);
    ShellTreeView1->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

QString TOKBottomDlg::selectedFolder() const {
    if (!m_model) return {};
    const QModelIndexList rows = ShellTreeView1->selectionModel()->selectedRows();
    return rows.isEmpty() ? QString() : m_model->filePath(rows.first());
}

void TOKBottomDlg::OKBtnClick() {
    Settings& s = m_state.settings;
    const QString folder = selectedFolder();
    if (folder.isEmpty()) return;
    // A folder the settings file cannot name is refused before anything changes, so that the
    // menu, the file and the saves keep agreeing on the folder in use.
    if (!toShiftJis(folder))
        return m_messages.message(this, QStringLiteral("フォルダ名「%1」には設定ファイルに保存できない文字が"
                                                       "含まれているため、保存先にできません")
                                            .arg(folder));
    const QString path = m_state.settingsFile;
    if (!writeSaveDirectory(path, folder))
        return m_messages.error(this, QStringLiteral("%1 に書き込めません").arg(path));
    s.SaveDirectory = folder;
    if (m_form3) m_form3->setFolderField(s.SaveDirectory);
    m_frame.setFolderItemCaption(FolderCaption(s.SaveDirectory, 14));
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
    QWidget* opener = OpenedFromSettings && m_form3 ? static_cast<QWidget*>(m_form3) : &m_frame.window();
    FormClose();
    QDialog::reject();
    // Without a window manager nobody else gives the keyboard back to the window it came from.
    window_stack::bringToForeground(opener);
}

void TOKBottomDlg::FormClose() {
    if (!OpenedFromSettings) m_frame.window().setEnabled(true);
    OpenedFromSettings = false;
    window_stack::setTopmost(this, false);
    if (m_form3 && m_form3->alwaysOnTop()) window_stack::setTopmost(&m_frame.window(), true);
}
