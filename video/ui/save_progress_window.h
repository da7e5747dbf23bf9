#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

// The window that shows the re-compression of an AVI file, with its abort button. Built for each
// re-compression and shown without blocking the other windows.
class SaveProgressWindow : public QDialog {
    Q_OBJECT
public:
    SaveProgressWindow();

    QLabel* caption;
    QPushButton* abortButton;
    QProgressBar* bar;

signals:
    // "中断" was pressed, or the window was closed: both mean the user wants the work stopped.
    void abortRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
};
