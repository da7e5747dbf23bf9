#include "settings/ui/folder_tree_model.h"

#include <QCollator>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <algorithm>

namespace {
constexpr int kPathRole = Qt::UserRole + 1;
constexpr int kReadRole = Qt::UserRole + 2;
constexpr QDir::Filters kFolders = QDir::Dirs | QDir::NoDotAndDotDot;

// Names in the order a person expects: case aside, numbers by value.
QCollator folderOrder() {
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

QString inside(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// The subfolders of path in folderOrder, the same order at every reading.
QStringList folderNames(const QString& path) {
    QStringList names = QDir(path).entryList(kFolders, QDir::Name);
    std::stable_sort(names.begin(), names.end(), folderOrder());
    return names;
}
}  // namespace

FolderTreeModel::FolderTreeModel(QObject* parent) : QStandardItemModel(parent) {
    const QString home = QDir::cleanPath(QDir::homePath());
    if (home != QDir::rootPath() && QFileInfo(home).isDir())
        addFolder(invisibleRootItem(), home, QDir::toNativeSeparators(home));
    addFolder(invisibleRootItem(), QDir::rootPath(), QDir::rootPath())
        ->setIcon(m_icons.icon(QFileIconProvider::Drive));
}

QStandardItem* FolderTreeModel::addFolder(QStandardItem* parent, const QString& path, const QString& name,
                                          int row) {
    auto* item = new QStandardItem(m_icons.icon(QFileIconProvider::Folder), name);
    item->setEditable(false);
    item->setData(path, kPathRole);
    item->setData(false, kReadRole);
    parent->insertRow(row < 0 ? parent->rowCount() : row, item);
    return item;
}

// A folder made since its parent was read is added in its place.
QStandardItem* FolderTreeModel::subfolder(QStandardItem* parent, const QString& name) {
    fetchMore(parent->index());
    const QCollator order = folderOrder();
    int row = 0;
    for (; row < parent->rowCount(); ++row) {
        QStandardItem* child = parent->child(row);
        if (child->text() == name) return child;
        if (order.compare(child->text(), name) > 0) break;
    }
    const QString path = inside(parent->data(kPathRole).toString(), name);
    return QFileInfo(path).isDir() ? addFolder(parent, path, name, row) : nullptr;
}

QString FolderTreeModel::filePath(const QModelIndex& index) const {
    return index.isValid() ? index.data(kPathRole).toString() : QString();
}

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const {
    if (!parent.isValid() || parent.data(kReadRole).toBool()) return QStandardItemModel::hasChildren(parent);
    return QDirIterator(filePath(parent), kFolders).hasNext();
}

bool FolderTreeModel::canFetchMore(const QModelIndex& parent) const {
    return parent.isValid() && !parent.data(kReadRole).toBool();
}

void FolderTreeModel::fetchMore(const QModelIndex& parent) {
    QStandardItem* item = itemFromIndex(parent);
    if (!item || item->data(kReadRole).toBool()) return;
    item->setData(true, kReadRole);
    const QString path = filePath(parent);
    for (const QString& name : folderNames(path)) addFolder(item, inside(path, name), name);
}

void FolderTreeModel::reread() {
    for (int row = 0; row < rowCount(); ++row) reread(item(row));
}

void FolderTreeModel::reread(QStandardItem* folder) {
    if (!folder->data(kReadRole).toBool()) return;
    const QString path = folder->data(kPathRole).toString();
    const QStringList names = folderNames(path);
    // Both lists are in the same order: a walk along them keeps, adds and drops in one pass.
    int row = 0;
    for (const QString& name : names) {
        while (row < folder->rowCount() && folder->child(row)->text() != name &&
               !names.contains(folder->child(row)->text()))
            folder->removeRow(row);
        if (row < folder->rowCount() && folder->child(row)->text() == name)
            reread(folder->child(row));
        else
            addFolder(folder, inside(path, name), name, row);
        ++row;
    }
    folder->removeRows(row, folder->rowCount() - row);
}

QModelIndex FolderTreeModel::indexOf(const QString& path) {
    const QString folder = QDir::cleanPath(path);
    if (!QDir::isAbsolutePath(folder) || !QFileInfo(folder).isDir()) return {};
    // The deepest top that holds the folder: the home folder, else the root.
    QStandardItem* found = nullptr;
    for (int row = 0; row < rowCount() && !found; ++row) {
        const QString topPath = item(row)->data(kPathRole).toString();
        if (folder == topPath || topPath == QDir::rootPath() || folder.startsWith(topPath + QLatin1Char('/')))
            found = item(row);
    }
    if (!found) return {};
    const QString topPath = found->data(kPathRole).toString();
    const QStringList steps = folder.mid(topPath.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& step : steps) {
        found = subfolder(found, step);
        if (!found) return {};
    }
    return found->index();
}
