#include "settings/ui/settings_dialog.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSlider>
#include <QTabWidget>

#include "capture_window/ui/frame_window.h"
#include "platform/message_box.h"
#include "platform/window_stack.h"
#include "settings/logic/frame_timer.h"
#include "settings/logic/integer_text.h"
#include "settings/logic/settings_file.h"
#include "settings/ui/folder_chooser.h"
#include "settings/ui/spin_edit.h"

namespace {
QLabel* label(const QString& text) { return new QLabel(text); }

QGroupBox* group(const QString& title, QGridLayout*& grid) {
    auto* box = new QGroupBox(title);
    grid = new QGridLayout(box);
    grid->setContentsMargins(6, 4, 6, 4);
    return box;
}
}  // namespace

TForm3::TForm3(ProgramState& state, TForm1& form1, MessageBoxes& messages)
    : QDialog(nullptr), m_state(state), m_form1(form1), m_messages(messages) {
    setWindowTitle(QStringLiteral("設定"));
    setFont(form1.font());
    setFixedSize(282, 270);
    move(541, 59);
    buildPages();
    FormCreate();
}

void TForm3::buildPages() {
    PageControl1 = new QTabWidget(this);
    PageControl1->setGeometry(0, 0, 282, 236);

    // Page 1: image and video.
    auto* page1 = new QWidget;
    auto* v1 = new QVBoxLayout(page1);
    v1->setContentsMargins(4, 4, 4, 4);
    v1->setSpacing(2);
    QGridLayout* g;
    v1->addWidget(group(QStringLiteral("JPEG画質設定"), g));
    TrackBar1 = new QSlider(Qt::Horizontal);
    TrackBar1->setRange(0, 100);
    TrackBar1->setSingleStep(1);
    TrackBar1->setTickPosition(QSlider::TicksBelow);
    TrackBar1->setTickInterval(10);
    TrackBar1->setValue(100);
    Edit1 = new QLineEdit(QStringLiteral("100"));
    Edit1->setEnabled(false);
    Edit1->setFixedWidth(40);
    g->addWidget(TrackBar1, 0, 0);
    g->addWidget(Edit1, 0, 1);
    g->addWidget(label(QStringLiteral("％")), 0, 2);
    v1->addWidget(group(QStringLiteral("画像(動画)倍率設定"), g));
    Edit2 = new SpinEdit(1, 1000, 1, 100);
    g->addWidget(Edit2, 0, 0);
    g->addWidget(label(QStringLiteral("％")), 0, 1);
    g->setColumnStretch(2, 1);
    v1->addWidget(group(QStringLiteral("AVIフレームレート設定"), g));
    SpinEdit2 = new SpinEdit(1, 100, 1, 10);
    g->addWidget(SpinEdit2, 0, 0);
    g->addWidget(label(QStringLiteral("frame/s")), 0, 1);
    g->setColumnStretch(2, 1);
    v1->addWidget(group(QStringLiteral("動画保存撮りすぎ防止"), g));
    CheckBox3 = new QCheckBox(QStringLiteral("フレーム数を制限する"));
    // The frame limit is 16 bits wide: 65535 is the largest limit that can be kept.
    SpinEdit3 = new SpinEdit(0, 65535, 1, 100);
    SpinEdit3->setEnabled(false);
    g->addWidget(CheckBox3, 0, 0, 1, 3);
    g->addWidget(SpinEdit3, 1, 0);
    g->addWidget(label(QStringLiteral("フレームで保存停止")), 1, 1);
    g->setColumnStretch(2, 1);
    PageControl1->addTab(page1, QStringLiteral("画像、動画設定"));

    // Page 2: printing.
    auto* page2 = new QWidget;
    auto* v2 = new QVBoxLayout(page2);
    v2->addWidget(group(QStringLiteral("印刷時画像サイズ"), g));
    SpinEdit1 = new SpinEdit(1, 1000, 1, 200);
    g->addWidget(label(QStringLiteral("画像を基準に")), 0, 0);
    g->addWidget(SpinEdit1, 0, 1);
    g->addWidget(label(QStringLiteral("％")), 0, 2);
    g->setColumnStretch(3, 1);
    v2->addStretch();
    PageControl1->addTab(page2, QStringLiteral("印刷設定"));

    // Page 3: other.
    auto* page3 = new QWidget;
    auto* v3 = new QVBoxLayout(page3);
    auto* label7 = label(QStringLiteral("ウィンドウサイズ(保存画像サイズ)設定"));
    label7->setToolTip(QStringLiteral("ウィンドウのクライアントのサイズを設定します"));
    v3->addWidget(label7);
    auto* sizeRow = new QHBoxLayout;
    Edit4 = new QLineEdit;
    Edit3 = new QLineEdit;
    sizeRow->addWidget(label(QStringLiteral("縦")));
    sizeRow->addWidget(Edit4);
    sizeRow->addWidget(label(QStringLiteral("横")));
    sizeRow->addWidget(Edit3);
    v3->addLayout(sizeRow);
    auto* radioGroup1 = group(QStringLiteral("保存形式"), g);
    radioGroup1->setToolTip(QStringLiteral("保存時の画像形式を設定します"));
    RadioButton1 = new QRadioButton(QStringLiteral("JPEG"));
    RadioButton2 = new QRadioButton(QStringLiteral("BMP"));
    RadioButton3 = new QRadioButton(QStringLiteral("GIF"));
    RadioButton4 = new QRadioButton(QStringLiteral("PNG"));
    RadioButton1->setChecked(true);
    g->addWidget(RadioButton1, 0, 0);
    g->addWidget(RadioButton2, 0, 1);
    g->addWidget(RadioButton3, 1, 0);
    g->addWidget(RadioButton4, 1, 1);
    v3->addWidget(radioGroup1);
    CheckBox2 = new QCheckBox(QStringLiteral("ウィンドウを常に最前面に出す"));
    v3->addWidget(CheckBox2);
    v3->addStretch();
    PageControl1->addTab(page3, QStringLiteral("その他"));

    // Page 4: names and folder.
    auto* page4 = new QWidget;
    auto* v4 = new QVBoxLayout(page4);
    v4->addWidget(group(QStringLiteral("保存時の名前設定"), g));
    Edit5 = new QLineEdit;
    Edit6 = new QLineEdit;
    Edit7 = new QLineEdit;
    g->addWidget(label(QStringLiteral("指定先に保存時")), 0, 0);
    g->addWidget(Edit5, 0, 1);
    g->addWidget(label(QStringLiteral("一定時間ごとに保存時")), 1, 0);
    g->addWidget(Edit6, 1, 1);
    g->addWidget(label(QStringLiteral("動画保存時")), 2, 0);
    g->addWidget(Edit7, 2, 1);
    v4->addWidget(group(QStringLiteral("保存先設定"), g));
    Button3 = new QPushButton(QStringLiteral("設定"));
    Button3->setAutoDefault(false);
    Edit8 = new QLineEdit;
    Edit8->setEnabled(false);
    g->addWidget(Button3, 0, 0);
    g->addWidget(Edit8, 0, 1);
    v4->addStretch();
    PageControl1->addTab(page4, QStringLiteral("保存設定"));

    CheckBox1 = new QCheckBox(QStringLiteral("設定を保存する"), this);
    CheckBox1->setChecked(true);
    CheckBox1->setGeometry(8, 242, 110, 22);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setGeometry(124, 240, 72, 25);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("キャンセル"), this);
    Button2->setGeometry(202, 240, 72, 25);
    Button2->setAutoDefault(false);

    connect(TrackBar1, &QSlider::valueChanged, this, &TForm3::TrackBar1Change);
    connect(Edit1, &QLineEdit::textChanged, this, &TForm3::Edit1Change);
    connect(CheckBox3, &QCheckBox::clicked, this, &TForm3::CheckBox3Click);
    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm3::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm3::Button3Click);
}

bool TForm3::alwaysOnTop() const { return CheckBox2->isChecked(); }

void TForm3::FormCreate() { LoadSettings(); }

void TForm3::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) FormShow();
    QDialog::showEvent(event);
}

void TForm3::FormShow() {
    PendingQuality = TrackBar1->value();
    ShownClientWidth = m_form1.clientWidth();
    ShownClientHeight = m_form1.clientHeight();
    ShownScale = Edit2->value();
    Edit3->setText(QString::number(ShownClientWidth));
    Edit4->setText(QString::number(ShownClientHeight));
    // The menu's marks are tested BMP, JPEG, GIF, then PNG as the rest.
    int code = kSavePng;
    if (m_form1.BMP1->isChecked())
        code = kSaveBmp;
    else if (m_form1.JPEG1->isChecked())
        code = kSaveJpeg;
    else if (m_form1.GIF1->isChecked())
        code = kSaveGif;
    setSaveTypeRadio(code);
    ShownSaveType = static_cast<std::uint8_t>(code);
    Edit8->setText(m_state.settings.SaveDirectory);
}

void TForm3::TrackBar1Change() {
    PendingQuality = TrackBar1->value();
    Edit1->setText(QString::number(TrackBar1->value()));
}

void TForm3::Edit1Change() {
    TrackBar1->setValue(parseIntegerText(Edit1->text()).value_or(TrackBar1->value()));
    PendingQuality = TrackBar1->value();
}

void TForm3::CheckBox3Click() { SpinEdit3->setEnabled(CheckBox3->isChecked()); }

void TForm3::setSaveTypeRadio(int code) {
    QRadioButton* const radios[] = {RadioButton1, RadioButton2, RadioButton3, RadioButton4};
    if (code >= 1 && code <= 4) radios[code - 1]->setChecked(true);
}

int TForm3::checkedSaveTypeRadio() const {
    if (RadioButton1->isChecked()) return kSaveJpeg;
    if (RadioButton2->isChecked()) return kSaveBmp;
    if (RadioButton3->isChecked()) return kSaveGif;
    return kSavePng;
}

void TForm3::Button1Click() {
    Settings& s = m_state.settings;
    const int code = checkedSaveTypeRadio();
    m_form1.checkSaveTypeItem(code);
    s.SaveType = s.StoredSaveType = static_cast<std::uint8_t>(code);
    s.AlwaysOnTop = CheckBox2->isChecked();
    window_stack::setTopmost(&m_form1, s.AlwaysOnTop);

    const QString notANumber = QStringLiteral("有効な数字ではありません");
    const auto scale = parseIntegerText(Edit2->text());
    if (!scale) return m_messages.message(this, notANumber);
    s.ScalePercent = *scale;
    const auto width = parseIntegerText(Edit3->text());
    if (!width) return m_messages.message(this, notANumber);
    const auto height = parseIntegerText(Edit4->text());
    if (!height) return m_messages.message(this, notANumber);

    s.JpegQuality = PendingQuality;
    s.PrintPercent = SpinEdit1->value();
    s.RecordRate = static_cast<std::uint8_t>(SpinEdit2->value());
    s.DesignatedPrefix = Edit5->text();
    s.IntervalPrefix = Edit6->text();
    s.MoviePrefix = Edit7->text();
    s.FrameLimitEnabled = CheckBox3->isChecked();
    s.FrameLimit = static_cast<std::uint16_t>(SpinEdit3->value());
    if (CheckBox1->isChecked()) {
        const QString path = settingsFilePath(s.ProgramDirectory);
        if (!writeSettings(path, s)) return m_messages.error(this, QStringLiteral("%1 に書き込めません").arg(path));
    }
    m_form1.Timer4.setInterval(frameTimerIntervalMs(s.RecordRate));
    RestoreOnClose = false;
    close();
    m_form1.setClientWidth(*width);
    m_form1.setClientHeight(*height);
}

void TForm3::Button2Click() {
    RestoreOnClose = true;
    close();
}

void TForm3::Button3Click() {
    if (!m_folderChooser) return;
    m_folderChooser->OpenedFromSettings = true;
    m_folderChooser->show();
}

// Every way of closing the dialog (OK, Cancel, Esc, the title bar) comes through here.
void TForm3::reject() {
    FormClose();
    QDialog::reject();
}

void TForm3::FormClose() {
    const Settings& s = m_state.settings;
    m_form1.setEnabled(true);
    if (CheckBox2->isChecked()) window_stack::setTopmost(&m_form1, true);
    if (RestoreOnClose) {
        TrackBar1->setValue(s.JpegQuality);
        TrackBar1Change();
        Edit2->setText(QString::number(ShownScale));
        Edit3->setText(QString::number(ShownClientWidth));
        Edit4->setText(QString::number(ShownClientHeight));
        SpinEdit1->setValue(s.PrintPercent);
        m_form1.Timer4.setInterval(frameTimerIntervalMs(s.RecordRate));
        SpinEdit2->setValue(s.RecordRate);
        SpinEdit3->setValue(s.FrameLimit);
        CheckBox3->setChecked(s.FrameLimitEnabled);
        CheckBox3Click();
        setSaveTypeRadio(ShownSaveType);
        CheckBox2->setChecked(s.AlwaysOnTop);
    }
    RestoreOnClose = true;
}
