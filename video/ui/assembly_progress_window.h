#pragma once

#include <QDialog>
#include <cstdint>

class QLabel;
class QProgressBar;

// The window that shows the progress of assembling an AVI file. Created hidden at
// start-up and reused by every recording.
class AssemblyProgressWindow : public QDialog {
    Q_OBJECT
public:
    explicit AssemblyProgressWindow(QFont font);

    // Sets the bar's position (0..100).
    void change(std::uint8_t position);

    QLabel* caption;
    QProgressBar* bar;
};
