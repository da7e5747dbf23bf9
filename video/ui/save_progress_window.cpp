#include "video/ui/save_progress_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

namespace {

constexpr QSize kClientSize(200, 80);

}  // namespace

SaveProgressWindow::SaveProgressWindow()
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint) {
    setWindowTitle(QStringLiteral("進行状況"));
    setFixedSize(kClientSize);
    setAttribute(Qt::WA_DeleteOnClose, false);

    caption = new QLabel(QStringLiteral("圧縮ＡＶＩファイル作成中..."), this);
    caption->setObjectName("caption");
    caption->move(8, 8);
    caption->adjustSize();

    abortButton = new QPushButton(QStringLiteral("中断"), this);
    abortButton->setObjectName("abortButton");
    // As wide as the style needs a button with text to be.
    abortButton->setGeometry((kClientSize.width() - 80) / 2, 48, 80, 24);
    abortButton->setAutoDefault(false);
    connect(abortButton, &QPushButton::clicked, this, &SaveProgressWindow::abortRequested);

    bar = new QProgressBar(this);
    bar->setObjectName("bar");
    bar->setGeometry((kClientSize.width() - 160) / 2, 24, 160, 16);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - QPoint(kClientSize.width() / 2, kClientSize.height() / 2));
}

void SaveProgressWindow::closeEvent(QCloseEvent* event) {
    // A closed progress window would leave a re-compression running with no way to stop it.
    emit abortRequested();
    QDialog::closeEvent(event);
}
