#include "settings/ui/folder_chooser.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTreeView>
#include <utility>

#include "core/ui/frame_ports.h"
#include "platform/system/text_encoding.h"
#include "platform/x11/message_box.h"
#include "platform/x11/window_stack.h"
#include "settings/logic/folder_caption.h"
#include "settings/logic/settings_file.h"
#include "settings/ui/folder_tree_model.h"

SaveFolderChooser::SaveFolderChooser(ProgramState& state, SettingsFrame& frame, MessageBoxes& messages)
    : QDialog(nullptr), m_state(state), m_frame(frame), m_messages(messages) {
    setWindowTitle(QStringLiteral("保存先設定"));
    setFont(frame.window().font());
    setFixedSize(298, 311);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    folderTree = new QTreeView(this);
    folderTree->setGeometry(8, 8, 281, 265);
    folderTree->setHeaderHidden(true);
    // The root needs its expand mark: it is the only way into the tree with the mouse.
    folderTree->setRootIsDecorated(true);
    folderTree->setIndentation(19);
    // The buttons are as wide as the style's least for a button with text.
    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setGeometry(121, 284, 80, 25);
    okButton->setDefault(true);
    okButton->setEnabled(false);
    cancelButton = new QPushButton(QStringLiteral("キャンセル"), this);
    cancelButton->setGeometry(209, 284, 80, 25);
    cancelButton->setAutoDefault(false);
    connect(okButton, &QPushButton::clicked, this, &SaveFolderChooser::acceptFolder);
    connect(cancelButton, &QPushButton::clicked, this, &SaveFolderChooser::cancel);
}

SaveFolderChooser::~SaveFolderChooser() = default;

// The folder tree is made only when first needed, so that start-up reads no folders.
void SaveFolderChooser::ensureModel() {
    if (m_model) return;
    m_model = new FolderTreeModel(this);
    folderTree->setModel(m_model);
    // OK takes the chosen folder only: the item the tree marks as current by itself is not a choice.
    connect(folderTree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { okButton->setEnabled(!selectedFolder().isEmpty()); });
}

// The tree shows the folders as they are now, with the save folder chosen.
void SaveFolderChooser::showEvent(QShowEvent* event) {
    ensureModel();
    m_model->reread();
    chooseNearest(m_state.settings.SaveDirectory);
    QDialog::showEvent(event);
}

// Of a folder that is gone, the nearest folder left is chosen instead, or the home folder when
// only the root is left, so that OK and Enter work at once.
void SaveFolderChooser::chooseNearest(const QString& wanted) {
    // The program's own folder, the first save folder, ends with a separator.
    QString folder = QDir::cleanPath(wanted);
    if (!QDir::isAbsolutePath(folder)) folder = QDir::rootPath();
    while (!QFileInfo(folder).isDir() && folder != QDir::rootPath()) folder = QFileInfo(folder).path();
    if (folder == QDir::rootPath() && QDir::cleanPath(wanted) != folder) folder = QDir::homePath();
    selectFolder(folder);
}

void SaveFolderChooser::selectFolder(const QString& path) {
    ensureModel();
    const QModelIndex index = m_model->indexOf(path);
    folderTree->setCurrentIndex(index);
    folderTree->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

QString SaveFolderChooser::selectedFolder() const {
    if (!m_model) return {};
    const QModelIndexList rows = folderTree->selectionModel()->selectedRows();
    return rows.isEmpty() ? QString() : m_model->filePath(rows.first());
}

void SaveFolderChooser::acceptFolder() {
    Settings& s = m_state.settings;
    const QString folder = selectedFolder();
    if (folder.isEmpty()) return;
    // Removed while the chooser was open: the saves would find nothing there.
    if (!QFileInfo(folder).isDir()) {
        m_messages.message(this,
                           QStringLiteral("フォルダ「%1」が見つかりません.\nほかのフォルダを選んでください.")
                               .arg(QDir::toNativeSeparators(folder)));
        m_model->reread();
        return chooseNearest(folder);
    }
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
    emit folderStored(s.SaveDirectory);
    m_frame.setFolderItemCaption(FolderCaption(s.SaveDirectory, 14));
    s.SaveFolderSet = true;
    m_accepting = true;
    close();
    m_accepting = false;
    emit folderChosen();
    if (const auto chosen = std::exchange(m_whenChosen, nullptr)) chosen();
}

void SaveFolderChooser::cancel() { close(); }

void SaveFolderChooser::openOver(QWidget* opener) {
    m_opener = opener;
    window_stack::showOver(this, opener);
}

void SaveFolderChooser::askForFolder(std::function<void()> chosen) {
    m_whenChosen = std::move(chosen);
    m_opener = nullptr;
    m_frame.window().setEnabled(false);
    window_stack::showOver(this, &m_frame.window());
}

// Every way of closing (OK, Cancel, Esc, the title bar) comes through here.
void SaveFolderChooser::reject() {
    // A save that waited for a folder is dropped when no folder was chosen: it must not fire
    // at some later, unrelated choice of folder.
    if (!m_accepting) {
        m_whenChosen = nullptr;
        emit closedWithoutFolder();
    }
    QWidget* opener = m_opener ? m_opener : &m_frame.window();
    onClosed();
    QDialog::reject();
    // Without a window manager nobody else gives the keyboard back to the window it came from.
    window_stack::bringToForeground(opener);
}

void SaveFolderChooser::onClosed() {
    if (!m_opener) m_frame.window().setEnabled(true);
    m_opener = nullptr;
    window_stack::setTopmost(this, false);
    if (m_state.live.alwaysOnTop) window_stack::setTopmost(&m_frame.window(), true);
}
