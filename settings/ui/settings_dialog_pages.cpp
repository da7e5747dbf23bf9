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

#include "settings/ui/hotkey_field.h"
#include "settings/ui/hotkey_page.h"
#include "settings/ui/page_layout.h"
#include "settings/ui/settings_dialog.h"
#include "settings/ui/spin_edit.h"

namespace {
// The client size the dialog was designed with; it grows where the program's font needs more.
constexpr QSize kDesignClientSize(282, 270);

QLabel* label(const QString& text) { return new QLabel(text); }

QGroupBox* group(const QString& title, QGridLayout*& grid) { return pageGroup(title, grid); }

QWidget* page(QVBoxLayout*& column) { return pageColumn(new QWidget, column); }
}  // namespace

// The controls hold the live settings once they exist, so they are made together, once.
void SettingsDialog::createControls() {
    pages = new QTabWidget(this);
    // Every page's tab stays in sight: no scroll arrows, which would also take the Tab focus.
    pages->setUsesScrollButtons(false);
    jpegQualitySlider = new QSlider(Qt::Horizontal, this);
    jpegQualitySlider->setRange(0, 100);
    jpegQualitySlider->setSingleStep(1);
    jpegQualitySlider->setTickPosition(QSlider::TicksBelow);
    jpegQualitySlider->setTickInterval(10);
    jpegQualitySlider->setValue(100);
    jpegQualityField = new QLineEdit(QStringLiteral("100"), this);
    jpegQualityField->setEnabled(false);
    jpegQualityField->setFixedWidth(
        jpegQualityField->fontMetrics().horizontalAdvance(QStringLiteral("1000")) + 12);
    scaleField = new SpinEdit(1, 1000, 1, 100, this);
    frameRateField = new SpinEdit(1, 100, 1, 10, this);
    frameLimitBox = new QCheckBox(QStringLiteral("フレーム数を制限する"), this);
    // The frame limit is 16 bits wide: 65535 is the largest limit that can be kept.
    frameLimitField = new SpinEdit(0, 65535, 1, 100, this);
    frameLimitField->setEnabled(false);
    printPercentField = new SpinEdit(1, 1000, 1, 200, this);
    clientHeightField = new QLineEdit(this);
    clientWidthField = new QLineEdit(this);
    jpegRadio = new QRadioButton(QStringLiteral("JPEG"), this);
    bmpRadio = new QRadioButton(QStringLiteral("BMP"), this);
    gifRadio = new QRadioButton(QStringLiteral("GIF"), this);
    pngRadio = new QRadioButton(QStringLiteral("PNG"), this);
    jpegRadio->setChecked(true);
    alwaysOnTopBox = new QCheckBox(QStringLiteral("ウィンドウを常に最前面に出す"), this);
    designatedPrefixField = new QLineEdit(this);
    intervalPrefixField = new QLineEdit(this);
    moviePrefixField = new QLineEdit(this);
    chooseFolderButton = new QPushButton(QStringLiteral("設定"), this);
    chooseFolderButton->setAutoDefault(false);
    saveFolderField = new QLineEdit(this);
    saveFolderField->setEnabled(false);
    hotkeyPage = new HotkeyPage(m_hotkeys, this);

    saveSettingsBox = new QCheckBox(QStringLiteral("設定を保存する"), this);
    saveSettingsBox->setChecked(true);
    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setDefault(true);
    cancelButton = new QPushButton(QStringLiteral("キャンセル"), this);
    cancelButton->setAutoDefault(false);

    LiveChoices& live = m_state.live;
    connect(alwaysOnTopBox, &QCheckBox::toggled, this, [&live](bool on) { live.alwaysOnTop = on; });
    connect(printPercentField, &SpinEdit::valueChanged, this,
            [&live](int percent) { live.printPercent = percent; });
    connect(frameLimitBox, &QCheckBox::toggled, this, [&live](bool on) { live.frameLimitEnabled = on; });
    connect(jpegQualitySlider, &QSlider::valueChanged, this, &SettingsDialog::onJpegQualitySlid);
    connect(jpegQualityField, &QLineEdit::textChanged, this, &SettingsDialog::onJpegQualityTyped);
    connect(frameLimitBox, &QCheckBox::clicked, this, &SettingsDialog::onFrameLimitBoxClicked);
    connect(okButton, &QPushButton::clicked, this, &SettingsDialog::applyAndClose);
    connect(cancelButton, &QPushButton::clicked, this, &SettingsDialog::cancel);
    connect(chooseFolderButton, &QPushButton::clicked, this, &SettingsDialog::chooseFolder);
}

void SettingsDialog::buildPages() {
    QGridLayout* g;
    QVBoxLayout* v;

    QWidget* page1 = page(v);
    v->addWidget(group(QStringLiteral("JPEG画質設定"), g));
    g->addWidget(jpegQualitySlider, 0, 0);
    g->addWidget(jpegQualityField, 0, 1);
    g->addWidget(label(QStringLiteral("％")), 0, 2);
    v->addWidget(group(QStringLiteral("画像(動画)倍率設定"), g));
    g->addWidget(scaleField, 0, 0);
    g->addWidget(label(QStringLiteral("％")), 0, 1);
    g->setColumnStretch(2, 1);
    v->addWidget(group(QStringLiteral("AVIフレームレート設定"), g));
    g->addWidget(frameRateField, 0, 0);
    g->addWidget(label(QStringLiteral("frame/s")), 0, 1);
    g->setColumnStretch(2, 1);
    v->addWidget(group(QStringLiteral("動画保存撮りすぎ防止"), g));
    g->addWidget(frameLimitBox, 0, 0, 1, 3);
    g->addWidget(frameLimitField, 1, 0);
    g->addWidget(label(QStringLiteral("フレームで保存停止")), 1, 1);
    g->setColumnStretch(2, 1);
    v->addStretch();
    pages->addTab(page1, QStringLiteral("画像、動画設定"));

    QWidget* page2 = page(v);
    v->addWidget(group(QStringLiteral("印刷時画像サイズ"), g));
    g->addWidget(label(QStringLiteral("画像を基準に")), 0, 0);
    g->addWidget(printPercentField, 0, 1);
    g->addWidget(label(QStringLiteral("％")), 0, 2);
    g->setColumnStretch(3, 1);
    v->addStretch();
    pages->addTab(page2, QStringLiteral("印刷設定"));

    QWidget* page3 = page(v);
    auto* label7 = label(QStringLiteral("ウィンドウサイズ(保存画像サイズ)設定"));
    label7->setToolTip(QStringLiteral("ウィンドウのクライアントのサイズを設定します"));
    v->addWidget(label7);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(label(QStringLiteral("縦")));
    sizeRow->addWidget(clientHeightField);
    sizeRow->addWidget(label(QStringLiteral("横")));
    sizeRow->addWidget(clientWidthField);
    v->addLayout(sizeRow);
    auto* radioGroup1 = group(QStringLiteral("保存形式"), g);
    radioGroup1->setToolTip(QStringLiteral("保存時の画像形式を設定します"));
    g->addWidget(jpegRadio, 0, 0);
    g->addWidget(bmpRadio, 0, 1);
    g->addWidget(gifRadio, 1, 0);
    g->addWidget(pngRadio, 1, 1);
    v->addWidget(radioGroup1);
    v->addWidget(alwaysOnTopBox);
    v->addStretch();
    pages->addTab(page3, QStringLiteral("その他"));

    QWidget* page4 = page(v);
    v->addWidget(group(QStringLiteral("保存時の名前設定"), g));
    g->addWidget(label(QStringLiteral("指定先に保存時")), 0, 0);
    g->addWidget(designatedPrefixField, 0, 1);
    g->addWidget(label(QStringLiteral("一定時間ごとに保存時")), 1, 0);
    g->addWidget(intervalPrefixField, 1, 1);
    g->addWidget(label(QStringLiteral("動画保存時")), 2, 0);
    g->addWidget(moviePrefixField, 2, 1);
    v->addWidget(group(QStringLiteral("保存先設定"), g));
    g->addWidget(chooseFolderButton, 0, 0);
    g->addWidget(saveFolderField, 0, 1);
    v->addStretch();
    pages->addTab(page4, QStringLiteral("保存設定"));
    pages->addTab(hotkeyPage, QString::fromUtf16(kHotkeyPageCaption));

    auto* bottomRow = new QHBoxLayout;
    bottomRow->addWidget(saveSettingsBox);
    bottomRow->addStretch();
    bottomRow->addWidget(okButton);
    bottomRow->addWidget(cancelButton);
    auto* dialogLayout = new QVBoxLayout(this);
    dialogLayout->setContentsMargins(4, 4, 4, 6);
    dialogLayout->setSpacing(6);
    dialogLayout->addWidget(pages);
    dialogLayout->addLayout(bottomRow);

    // The design size where the font allows it, else the least the pages need.
    dialogLayout->activate();
    setFixedSize(minimumSizeHint().expandedTo(kDesignClientSize));

    // Tab goes through the pages' controls in reading order, then the bottom row.
    QWidget* const order[] = {pages,
                              jpegQualitySlider,
                              scaleField,
                              frameRateField,
                              frameLimitBox,
                              frameLimitField,
                              printPercentField,
                              clientHeightField,
                              clientWidthField,
                              jpegRadio,
                              bmpRadio,
                              gifRadio,
                              pngRadio,
                              alwaysOnTopBox,
                              designatedPrefixField,
                              intervalPrefixField,
                              moviePrefixField,
                              chooseFolderButton,
                              hotkeyPage->field(HotkeyAction::Front),
                              hotkeyPage->field(HotkeyAction::Resume),
                              hotkeyPage->field(HotkeyAction::Pause),
                              hotkeyPage->field(HotkeyAction::Stop),
                              saveSettingsBox,
                              okButton,
                              cancelButton};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
    pages->setFocus();
}
