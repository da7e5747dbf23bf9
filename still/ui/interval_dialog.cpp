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

TForm2::TForm2(ProgramState& state, StillFrame& frame, std::function<void()> timers)
    : QDialog(nullptr), m_state(state), m_frame(frame), m_timers(std::move(timers)) {
    setWindowTitle(QStringLiteral("一定時間ごとに保存"));
    setFont(frame.window().font());
    // The design size until the controls exist; createControls() grows it where the font needs it.
    setFixedSize(327, 93);
    connect(&Timer1, &QTimer::timeout, this, &TForm2::Timer1Timer);
}

void TForm2::setVisible(bool visible) {
    if (visible && !Label2) createControls();
    QDialog::setVisible(visible);
}

void TForm2::createControls() {
    Label2 = new QLabel(QStringLiteral("※ウィンドウを閉じるか、最小化すると止まります。"), this);
    SpinEdit1 = new SpinEdit(100, 65535, 500, 5000, this);
    Label1 = new QLabel(QStringLiteral("/1000　秒間隔"), this);
    CheckBox1 = new QCheckBox(QStringLiteral("撮る枚数を指定"), this);
    SpinEdit2 = new SpinEdit(1, 1000, 1, 5, this);
    SpinEdit2->setEnabled(false);
    Button1 = new QPushButton(QStringLiteral("開始"), this);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("キャンセル"), this);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(8, 6, 8, 8);
    layout->setVerticalSpacing(6);
    layout->addWidget(Label2, 0, 0, 1, 5);
    layout->addWidget(SpinEdit1, 1, 0);
    layout->addWidget(Label1, 1, 1, 1, 2);
    layout->addWidget(CheckBox1, 2, 0);
    layout->addWidget(SpinEdit2, 2, 1);
    layout->addWidget(Button1, 2, 3);
    layout->addWidget(Button2, 2, 4);
    layout->setColumnStretch(2, 1);
    // The design size, or more where the program's font needs it.
    layout->activate();
    setFixedSize(minimumSizeHint().expandedTo(QSize(327, 93)));
    SpinEdit1->setFocus();

    connect(CheckBox1, &QCheckBox::clicked, this, &TForm2::CheckBox1Click);
    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
}

void TForm2::mousePressEvent(QMouseEvent* event) {
    QDialog::mousePressEvent(event);
    SpinEdit1->setFocus();
}

void TForm2::CheckBox1Click() { SpinEdit2->setEnabled(CheckBox1->isChecked()); }

void TForm2::Button1Click() {
    // The interval is a 16-bit count: a number typed out of range and confirmed with Enter wraps.
    const auto intervalMs = static_cast<std::uint16_t>(SpinEdit1->value());
    Timer1.setInterval(intervalMs);
    // A zero interval never ticks, as a stopped timer.
    if (intervalMs > 0) Timer1.start();
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
    IntervalShotCount = 0;
}

void TForm2::Button2Click() { close(); }

void TForm2::Timer1Timer() {
    // A tick that falls due while an earlier tick's message box is open is dropped, so a
    // failing folder shows one box at a time; the next tick after it tries the same number.
    // Qt's dispatchers hold back a timer whose handler still runs; this keeps the promise
    // whatever drives the tick.
    if (m_inTick) return;
    m_inTick = true;
    m_timers();
    m_inTick = false;
    // Stopped while the save's message box was open: the run is over, nothing more to count.
    if (!m_state.capture.IntervalMode || !CheckBox1->isChecked()) return;
    ++IntervalShotCount;
    if (IntervalShotCount < SpinEdit2->value()) return;
    // The frame window's restore or close handler stops the run.
    if (m_state.capture.WholeScreen)
        m_frame.window().showNormal();
    else
        m_frame.window().close();
    SpinEdit2->setEnabled(false);
}

void TForm2::reject() {
    FormClose();
    QDialog::reject();
    window_stack::bringToForeground(&m_frame.window());
}

void TForm2::closeEvent(QCloseEvent* event) {
    // A hidden dialog (the run is going) is closed without reject(); its close handler still runs.
    if (!isVisible()) FormClose();
    QDialog::closeEvent(event);
}

void TForm2::FormClose() {
    Timer1.stop();
    window_stack::setTopmost(this, false);
    window_stack::setTopmost(&m_frame.window(), m_frame.alwaysOnTop());
    m_state.capture.IntervalMode = false;
    m_frame.refreshLook();
}
