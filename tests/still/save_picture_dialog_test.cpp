#include "still/ui/save_picture_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractProxyModel>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include "fakes/x11_test_support.h"

TEST(SavePictureDialog, OpensOnTheFormatsFilterAddsItsExtensionAndCancels) {
    QTemporaryDir dir;
    QtSavePictureDialog dialog;
    EXPECT_EQ(dialog.dialog().nameFilters().size(), 6);
    EXPECT_EQ(dialog.dialog().nameFilters().first(),
              QStringLiteral("すべてのファイル (*.png;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf)"));

    dialog.preselect(2, QStringLiteral("png"));
    QString shownFilter;
    QTimer::singleShot(100, [&] {
        QFileDialog& d = dialog.dialog();
        shownFilter = d.selectedNameFilter();
        d.setDirectory(dir.path());
        d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("shot"));
        QMetaObject::invokeMethod(&d, "accept");
    });
    const std::optional<QString> path = dialog.exec(nullptr);
    EXPECT_EQ(shownFilter, QStringLiteral("PNG Format (*.png)"));
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, dir.path() + QStringLiteral("/shot.png"));

    dialog.preselect(6, QStringLiteral("gif"));
    QTimer::singleShot(100, [&] {
        shownFilter = dialog.dialog().selectedNameFilter();
        dialog.dialog().reject();
    });
    EXPECT_FALSE(dialog.exec(nullptr));
    EXPECT_EQ(shownFilter, QStringLiteral("GIF (*.gif)"));
}

// The list writes sizes, dates and a folder's type in the program's language, at a size that shows
// its columns.
TEST(SavePictureDialog, ListsSizesDatesAndFoldersInJapanese) {
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("shot.jpg")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(QByteArray(1536, 'x')), 1536);
    ASSERT_TRUE(file.flush());
    ASSERT_TRUE(
        file.setFileTime(QDateTime(QDate(2026, 1, 2), QTime(3, 4)), QFileDevice::FileModificationTime));
    file.close();
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));

    QtSavePictureDialog dialog;
    QFileDialog& d = dialog.dialog();
    EXPECT_GE(d.width(), 800);
    d.selectNameFilter(QStringLiteral("JPEG イメージファイル (*.jpg)"));
    d.setDirectory(dir.path());
    QAbstractProxyModel* list = d.proxyModel();
    ASSERT_NE(list, nullptr);
    const QModelIndex root = list->mapFromSource(d.findChild<QFileSystemModel*>()->index(dir.path()));
    ASSERT_TRUE(waitUntil([&] { return list->rowCount(root) == 2; }));
    QStringList rows;
    for (int row = 0; row < 2; ++row) {
        QStringList cells;
        for (int column = 0; column < 4; ++column)
            cells << list->index(row, column, root).data().toString().trimmed();
        rows << cells.join(QLatin1Char('|'));
    }
    rows.sort();
    EXPECT_EQ(rows.last(), QStringLiteral("shot.jpg|1.5 KB|JPEG 画像|2026/01/02 3:04"));
    EXPECT_TRUE(rows.first().startsWith(QStringLiteral("folder||フォルダー|"))) << rows.first().toStdString();
    QLocale::setDefault(previous);
}
