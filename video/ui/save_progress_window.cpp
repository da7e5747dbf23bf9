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

    Label1 = new QLabel(QStringLiteral("圧縮ＡＶＩファイル作成中..."), this);
    Label1->setObjectName("Label1");
    Label1->move(8, 8);
    Label1->adjustSize();

    Abort1 = new QPushButton(QStringLiteral("中断"), this);
    Abort1->setObjectName("Abort1");
    // As wide as the style needs a button with text to be.
    Abort1->setGeometry((kClientSize.width() - 80) / 2, 48, 80, 24);
    Abort1->setAutoDefault(false);
    connect(Abort1, &QPushButton::clicked, this, &SaveProgressWindow::abortRequested);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setGeometry((kClientSize.width() - 160) / 2, 24, 160, 16);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - QPoint(kClientSize.width() / 2, kClientSize.height() / 2));
}

void SaveProgressWindow::closeEvent(QCloseEvent* event) {
    // A closed progress window would leave a re-compression running with no way to stop it.
    emit abortRequested();
    QDialog::closeEvent(event);
}
