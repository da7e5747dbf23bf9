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
// save folder is known. Start hides it and lets Timer1 call timers (one save) per tick.
class TForm2 : public QDialog, public IntervalDialogPort {
    Q_OBJECT
public:
    // timers: one interval save, carried out by the capture commands.
    TForm2(ProgramState& state, StillFrame& frame, std::function<void()> timers);

    QWidget* dialog() override { return this; }
    // Makes the controls before the dialog is first shown.
    void setVisible(bool visible) override;
    void stopTick() override { Timer1.stop(); }

    void CheckBox1Click();
    void Button1Click();
    void Button2Click();
    void Timer1Timer();
    void FormClose();

    // The controls exist once the dialog has been shown.
    QLabel* Label2 = nullptr;
    SpinEdit* SpinEdit1 = nullptr;  // interval in milliseconds
    QLabel* Label1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;  // limit the number of shots
    SpinEdit* SpinEdit2 = nullptr;   // number of shots
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QTimer Timer1;  // the saving tick

    // Ticks since Start.
    int IntervalShotCount = 0;

protected:
    // Every close (Cancel, Escape, the title bar, a stop of the frame window) ends in FormClose.
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // A spin edit lays out its text when it is made, which loads the whole font database: made at
    // start-up, the controls would hold back the frame window's first appearance.
    void createControls();

    ProgramState& m_state;
    StillFrame& m_frame;
    std::function<void()> m_timers;
    bool m_inTick = false;
};
