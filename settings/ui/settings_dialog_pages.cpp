// The settings dialog's controls and their pages.
#include <QBoxLayout>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>

#include "settings/ui/settings_dialog.h"
#include "settings/ui/spin_edit.h"

namespace {
// The client size the dialog was designed with; it grows where the program's font needs more.
constexpr QSize kDesignClientSize(282, 270);

QLabel* label(const QString& text) { return new QLabel(text); }

QGroupBox* group(const QString& title, QGridLayout*& grid) {
    auto* box = new QGroupBox(title);
    grid = new QGridLayout(box);
    grid->setContentsMargins(6, 4, 6, 4);
    return box;
}

// A page whose groups stand at the top, one below the other.
QWidget* page(QVBoxLayout*& column) {
    auto* widget = new QWidget;
    column = new QVBoxLayout(widget);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(4);
    return widget;
}
}  // namespace

// The controls hold the live settings once they exist, so they are made together, once.
void TForm3::createControls() {
    PageControl1 = new QTabWidget(this);
    // Every page's tab stays in sight: no scroll arrows, which would also take the Tab focus.
    PageControl1->setUsesScrollButtons(false);
    TrackBar1 = new QSlider(Qt::Horizontal, this);
    TrackBar1->setRange(0, 100);
    TrackBar1->setSingleStep(1);
    TrackBar1->setTickPosition(QSlider::TicksBelow);
    TrackBar1->setTickInterval(10);
    TrackBar1->setValue(100);
    Edit1 = new QLineEdit(QStringLiteral("100"), this);
    Edit1->setEnabled(false);
    Edit1->setFixedWidth(Edit1->fontMetrics().horizontalAdvance(QStringLiteral("1000")) + 12);
    Edit2 = new SpinEdit(1, 1000, 1, 100, this);
    SpinEdit2 = new SpinEdit(1, 100, 1, 10, this);
    CheckBox3 = new QCheckBox(QStringLiteral("フレーム数を制限する"), this);
    // The frame limit is 16 bits wide: 65535 is the largest limit that can be kept.
    SpinEdit3 = new SpinEdit(0, 65535, 1, 100, this);
    SpinEdit3->setEnabled(false);
    SpinEdit1 = new SpinEdit(1, 1000, 1, 200, this);
    Edit4 = new QLineEdit(this);
    Edit3 = new QLineEdit(this);
    RadioButton1 = new QRadioButton(QStringLiteral("JPEG"), this);
    RadioButton2 = new QRadioButton(QStringLiteral("BMP"), this);
    RadioButton3 = new QRadioButton(QStringLiteral("GIF"), this);
    RadioButton4 = new QRadioButton(QStringLiteral("PNG"), this);
    RadioButton1->setChecked(true);
    CheckBox2 = new QCheckBox(QStringLiteral("ウィンドウを常に最前面に出す"), this);
    Edit5 = new QLineEdit(this);
    Edit6 = new QLineEdit(this);
    Edit7 = new QLineEdit(this);
    Button3 = new QPushButton(QStringLiteral("設定"), this);
    Button3->setAutoDefault(false);
    Edit8 = new QLineEdit(this);
    Edit8->setEnabled(false);

    CheckBox1 = new QCheckBox(QStringLiteral("設定を保存する"), this);
    CheckBox1->setChecked(true);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("キャンセル"), this);
    Button2->setAutoDefault(false);

    connect(TrackBar1, &QSlider::valueChanged, this, &TForm3::TrackBar1Change);
    connect(Edit1, &QLineEdit::textChanged, this, &TForm3::Edit1Change);
    connect(CheckBox3, &QCheckBox::clicked, this, &TForm3::CheckBox3Click);
    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm3::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm3::Button3Click);
}

void TForm3::buildPages() {
    QGridLayout* g;
    QVBoxLayout* v;

    QWidget* page1 = page(v);
    v->addWidget(group(QStringLiteral("JPEG画質設定"), g));
    g->addWidget(TrackBar1, 0, 0);
    g->addWidget(Edit1, 0, 1);
    g->addWidget(label(QStringLiteral("％")), 0, 2);
    v->addWidget(group(QStringLiteral("画像(動画)倍率設定"), g));
    g->addWidget(Edit2, 0, 0);
    g->addWidget(label(QStringLiteral("％")), 0, 1);
    g->setColumnStretch(2, 1);
    v->addWidget(group(QStringLiteral("AVIフレームレート設定"), g));
    g->addWidget(SpinEdit2, 0, 0);
    g->addWidget(label(QStringLiteral("frame/s")), 0, 1);
    g->setColumnStretch(2, 1);
    v->addWidget(group(QStringLiteral("動画保存撮りすぎ防止"), g));
    g->addWidget(CheckBox3, 0, 0, 1, 3);
    g->addWidget(SpinEdit3, 1, 0);
    g->addWidget(label(QStringLiteral("フレームで保存停止")), 1, 1);
    g->setColumnStretch(2, 1);
    v->addStretch();
    PageControl1->addTab(page1, QStringLiteral("画像、動画設定"));

    QWidget* page2 = page(v);
    v->addWidget(group(QStringLiteral("印刷時画像サイズ"), g));
    g->addWidget(label(QStringLiteral("画像を基準に")), 0, 0);
    g->addWidget(SpinEdit1, 0, 1);
    g->addWidget(label(QStringLiteral("％")), 0, 2);
    g->setColumnStretch(3, 1);
    v->addStretch();
    PageControl1->addTab(page2, QStringLiteral("印刷設定"));

    QWidget* page3 = page(v);
    auto* label7 = label(QStringLiteral("ウィンドウサイズ(保存画像サイズ)設定"));
    label7->setToolTip(QStringLiteral("ウィンドウのクライアントのサイズを設定します"));
    v->addWidget(label7);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(label(QStringLiteral("縦")));
    sizeRow->addWidget(Edit4);
    sizeRow->addWidget(label(QStringLiteral("横")));
    sizeRow->addWidget(Edit3);
    v->addLayout(sizeRow);
    auto* radioGroup1 = group(QStringLiteral("保存形式"), g);
    radioGroup1->setToolTip(QStringLiteral("保存時の画像形式を設定します"));
    g->addWidget(RadioButton1, 0, 0);
    g->addWidget(RadioButton2, 0, 1);
    g->addWidget(RadioButton3, 1, 0);
    g->addWidget(RadioButton4, 1, 1);
    v->addWidget(radioGroup1);
    v->addWidget(CheckBox2);
    v->addStretch();
    PageControl1->addTab(page3, QStringLiteral("その他"));

    QWidget* page4 = page(v);
    v->addWidget(group(QStringLiteral("保存時の名前設定"), g));
    g->addWidget(label(QStringLiteral("指定先に保存時")), 0, 0);
    g->addWidget(Edit5, 0, 1);
    g->addWidget(label(QStringLiteral("一定時間ごとに保存時")), 1, 0);
    g->addWidget(Edit6, 1, 1);
    g->addWidget(label(QStringLiteral("動画保存時")), 2, 0);
    g->addWidget(Edit7, 2, 1);
    v->addWidget(group(QStringLiteral("保存先設定"), g));
    g->addWidget(Button3, 0, 0);
    g->addWidget(Edit8, 0, 1);
    v->addStretch();
    PageControl1->addTab(page4, QStringLiteral("保存設定"));

    auto* bottomRow = new QHBoxLayout;
    bottomRow->addWidget(CheckBox1);
    bottomRow->addStretch();
    bottomRow->addWidget(Button1);
    bottomRow->addWidget(Button2);
    auto* dialogLayout = new QVBoxLayout(this);
    dialogLayout->setContentsMargins(4, 4, 4, 6);
    dialogLayout->setSpacing(6);
    dialogLayout->addWidget(PageControl1);
    dialogLayout->addLayout(bottomRow);

    // The design size where the font allows it, else the least the pages need.
    dialogLayout->activate();
    setFixedSize(minimumSizeHint().expandedTo(kDesignClientSize));

    // Tab goes through the pages' controls in reading order, then the bottom row.
    QWidget* const order[] = {PageControl1, TrackBar1, Edit2,  SpinEdit2,    CheckBox3,    SpinEdit3,
                              SpinEdit1,    Edit4,     Edit3,  RadioButton1, RadioButton2, RadioButton3,
                              RadioButton4, CheckBox2, Edit5,  Edit6,        Edit7,        Button3,
                              CheckBox1,    Button1,   Button2};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
    PageControl1->setFocus();
}
