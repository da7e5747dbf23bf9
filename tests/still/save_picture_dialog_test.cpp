#include "still/ui/save_picture_dialog.h"

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

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
