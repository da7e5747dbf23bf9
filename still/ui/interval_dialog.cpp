#include "still/ui/interval_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "settings/ui/spin_edit.h"

IntervalSaveDialog::IntervalSaveDialog(const QFont& font) : QDialog(nullptr) {
    setWindowTitle(QStringLiteral("一定時間ごとに保存"));
    setFont(font);
    // The design size until the controls exist; createControls() grows it where the font needs it.
    setFixedSize(327, 93);
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
    connect(startButton, &QPushButton::clicked, this, &IntervalSaveDialog::startClicked);
    connect(cancelButton, &QPushButton::clicked, this, &IntervalSaveDialog::close);
}

void IntervalSaveDialog::mousePressEvent(QMouseEvent* event) {
    QDialog::mousePressEvent(event);
    intervalField->setFocus();
}

void IntervalSaveDialog::onShotLimitBoxClicked() { shotLimitField->setEnabled(shotLimitBox->isChecked()); }

std::uint16_t IntervalSaveDialog::intervalMs() const {
    return static_cast<std::uint16_t>(intervalField->value());
}

std::optional<int> IntervalSaveDialog::shotLimit() const {
    if (!shotLimitBox->isChecked()) return std::nullopt;
    return shotLimitField->value();
}

void IntervalSaveDialog::lockShotLimit() { shotLimitField->setEnabled(false); }

void IntervalSaveDialog::reject() {
    emit closed();
    QDialog::reject();
}

void IntervalSaveDialog::closeEvent(QCloseEvent* event) {
    // A hidden dialog (the run is going) is closed without reject(); the run still ends.
    if (!isVisible()) emit closed();
    QDialog::closeEvent(event);
}
