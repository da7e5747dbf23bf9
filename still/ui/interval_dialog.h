#pragma once

#include <QDialog>
#include <QTimer>

#include "capture_window/ui/companions.h"

// The interval-save dialog. Created hidden at start-up; the frame window opens it once a
// save folder is known.
class TForm2 : public QDialog, public IntervalDialogPort {
    Q_OBJECT
public:
    explicit TForm2(QFont font);

    QWidget* dialog() override { return this; }
    void stopTick() override { Timer1.stop(); }

    QTimer Timer1;  // the saving tick
};
