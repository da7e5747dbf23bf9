#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>

#include "core/logic/program_state.h"
#include "core/ui/command_ports.h"

class QCheckBox;
class QLabel;
class QPushButton;
class SpinEdit;
class StillFrame;

// The interval-save dialog. Created hidden at start-up; the frame window opens it once a
// save folder is known. Start hides it and lets tick call saveIntervalShot (one save) per tick.
class IntervalSaveDialog : public QDialog, public IntervalDialogPort {
    Q_OBJECT
public:
    // saveIntervalShot: one interval save, carried out by the capture commands.
    IntervalSaveDialog(ProgramState& state, StillFrame& frame, std::function<void()> saveIntervalShot);

    QWidget* dialog() override { return this; }
    // Makes the controls before the dialog is first shown.
    void setVisible(bool visible) override;
    void stopTick() override { tick.stop(); }

    void onShotLimitBoxClicked();
    void startRun();
    void cancel();
    void onTick();
    void onClosed();

    // The controls exist once the dialog has been shown.
    QLabel* stopHint = nullptr;
    SpinEdit* intervalField = nullptr;  // interval in milliseconds
    QLabel* intervalUnit = nullptr;
    QCheckBox* shotLimitBox = nullptr;   // limit the number of shots
    SpinEdit* shotLimitField = nullptr;  // number of shots
    QPushButton* startButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QTimer tick;  // the saving tick

    // Ticks since Start.
    int shotCount = 0;

protected:
    // Every close (Cancel, Escape, the title bar, a stop of the frame window) ends in onClosed.
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // A spin edit lays out its text when it is made, which loads the whole font database: made at
    // start-up, the controls would hold back the frame window's first appearance.
    void createControls();

    ProgramState& m_state;
    StillFrame& m_frame;
    std::function<void()> m_saveIntervalShot;
    bool m_inTick = false;
};
