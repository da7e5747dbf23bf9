#pragma once

#include <QFileIconProvider>
#include <QStandardItemModel>

// The folders of the file system as a tree with two tops: the user's home folder first, then the
// root "/". A folder's subfolders are read when it is first opened, or walked through by indexOf,
// so that showing the tree never scans the disk; reread reads again only what was read.
class FolderTreeModel : public QStandardItemModel {
    Q_OBJECT
public:
    explicit FolderTreeModel(QObject* parent = nullptr);

    // The item of the folder at path, under the home folder when it lies there, reading the folders
    // on the way; invalid when path names no folder.
    QModelIndex indexOf(const QString& path);
    // The full path of the folder of index; empty for an invalid index.
    QString filePath(const QModelIndex& index) const;
    // Reads again every folder read so far: folders gone since go from the tree, and folders made
    // since come in their places. Open branches stay open.
    void reread();

    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

private:
    // row -1: at the end.
    QStandardItem* addFolder(QStandardItem* parent, const QString& path, const QString& name, int row = -1);
    // The child folder called name, added when it was made after the parent was read; nullptr
    // when there is no such folder.
    QStandardItem* subfolder(QStandardItem* parent, const QString& name);
    void reread(QStandardItem* folder);

    QFileIconProvider m_icons;
};
