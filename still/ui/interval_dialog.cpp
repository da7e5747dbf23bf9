#include "still/ui/interval_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <cstdint>

#include "core/ui/frame_ports.h"
#include "platform/x11/window_stack.h"
#include "settings/ui/spin_edit.h"

IntervalSaveDialog::IntervalSaveDialog(ProgramState& state, StillFrame& frame,
                                       std::function<void()> saveIntervalShot)
    : QDialog(nullptr), m_state(state), m_frame(frame), m_saveIntervalShot(std::move(saveIntervalShot)) {
    setWindowTitle(QStringLiteral("一定時間ごとに保存"));
    setFont(frame.window().font());
    // The design size until the controls exist; createControls() grows it where the font needs it.
    setFixedSize(327, 93);
    connect(&tick, &QTimer::timeout, this, &IntervalSaveDialog::onTick);
}

void IntervalSaveDialog::setVisible(bool visible) {
    if (visible && !stopHint) createControls();
    QDialog::setVisible(visible);
}

void IntervalSaveDialog::createControls() {
    stopHint = new QLabel(QStringLiteral("※ウィンドウを閉じるか、最小化すると止まります。"), this);
    intervalField = new SpinEdit(100, 65535, 500, 5000, this);
    intervalUnit = new QLabel(QStringLiteral("/1000　秒間隔"), this);
    shotLimitBox = new QCheckBox(QStringLiteral("撮る枚数を指定"), this);
    shotLimitField = new SpinEdit(1, 1000, 1, 5, this);
    shotLimitField->setEnabled(false);
    startButton = new QPushButton(QStringLiteral("開始"), this);
    startButton->setDefault(true);
    cancelButton = new QPushButton(QStringLiteral("キャンセル"), this);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(8, 6, 8, 8);
    layout->setVerticalSpacing(6);
    layout->addWidget(stopHint, 0, 0, 1, 5);
    layout->addWidget(intervalField, 1, 0);
    layout->addWidget(intervalUnit, 1, 1, 1, 2);
    layout->addWidget(shotLimitBox, 2, 0);
    layout->addWidget(shotLimitField, 2, 1);
    layout->addWidget(startButton, 2, 3);
    layout->addWidget(cancelButton, 2, 4);
    layout->setColumnStretch(2, 1);
    // The design size, or more where the program's font needs it.
    layout->activate();
    setFixedSize(minimumSizeHint().expandedTo(QSize(327, 93)));
    intervalField->setFocus();

    connect(shotLimitBox, &QCheckBox::clicked, this, &IntervalSaveDialog::onShotLimitBoxClicked);
    connect(startButton, &QPushButton::clicked, this, &IntervalSaveDialog::startRun);
    connect(cancelButton, &QPushButton::clicked, this, &IntervalSaveDialog::cancel);
}

void IntervalSaveDialog::mousePressEvent(QMouseEvent* event) {
    QDialog::mousePressEvent(event);
    intervalField->setFocus();
}

void IntervalSaveDialog::onShotLimitBoxClicked() { shotLimitField->setEnabled(shotLimitBox->isChecked()); }

void IntervalSaveDialog::startRun() {
    // The interval is a 16-bit count: a number typed out of range and confirmed with Enter wraps.
    const auto intervalMs = static_cast<std::uint16_t>(intervalField->value());
    tick.setInterval(intervalMs);
    // A zero interval never ticks, as a stopped timer.
    if (intervalMs > 0) tick.start();
    window_stack::setTopmost(this, false);
    window_stack::setTopmost(&m_frame.window(), true);
    hide();
    CaptureState& c = m_state.capture;
    c.IntervalMode = true;
    if (c.WholeScreen) {
        m_frame.window().showMinimized();
    } else {
        m_frame.reshape();
        c.IntervalWindowed = true;
        // The keys that move the frame work while it saves.
        window_stack::bringToForeground(&m_frame.window());
    }
    shotCount = 0;
}

void IntervalSaveDialog::cancel() { close(); }

void IntervalSaveDialog::onTick() {
    // A tick that falls due while an earlier tick's message box is open is dropped, so a
    // failing folder shows one box at a time; the next tick after it tries the same number.
    // Qt's dispatchers hold back a timer whose handler still runs; this keeps the promise
    // whatever drives the tick.
    if (m_inTick) return;
    m_inTick = true;
    m_saveIntervalShot();
    m_inTick = false;
    // Stopped while the save's message box was open: the run is over, nothing more to count.
    if (!m_state.capture.IntervalMode || !shotLimitBox->isChecked()) return;
    ++shotCount;
    if (shotCount < shotLimitField->value()) return;
    // The frame window's restore or close handler stops the run.
    if (m_state.capture.WholeScreen)
        m_frame.window().showNormal();
    else
        m_frame.window().close();
    shotLimitField->setEnabled(false);
}

void IntervalSaveDialog::reject() {
    onClosed();
    QDialog::reject();
    window_stack::bringToForeground(&m_frame.window());
}

void IntervalSaveDialog::closeEvent(QCloseEvent* event) {
    // A hidden dialog (the run is going) is closed without reject(); its close handler still runs.
    if (!isVisible()) onClosed();
    QDialog::closeEvent(event);
}

void IntervalSaveDialog::onClosed() {
    tick.stop();
    window_stack::setTopmost(this, false);
    window_stack::setTopmost(&m_frame.window(), m_frame.alwaysOnTop());
    m_state.capture.IntervalMode = false;
    m_frame.refreshLook();
}
