#include "settings/ui/spin_edit.h"

#include <QApplication>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSpinBox>

#include "settings/logic/integer_text.h"

SpinEdit::SpinEdit(int minimum, int maximum, int step, int value, QWidget* parent)
    : QAbstractSpinBox(parent), m_min(minimum), m_max(maximum), m_step(step) {
    setValue(value);
    connect(lineEdit(), &QLineEdit::textChanged, this, [this] { emit valueChanged(this->value()); });
}

int SpinEdit::value() const { return parseIntegerText(lineEdit()->text()).value_or(m_min); }

void SpinEdit::setValue(int value) { lineEdit()->setText(QString::number(qBound(m_min, value, m_max))); }

void SpinEdit::setText(const QString& text) { lineEdit()->setText(text); }

QSize SpinEdit::sizeHint() const {
    ensurePolished();
    // The base class measures the text of its own values, which this spin edit does not use.
    const QFontMetrics metrics = fontMetrics();
    int width = 0;
    for (const int bound : {m_min, m_max})
        width = qMax(width, metrics.horizontalAdvance(QString::number(bound) + QLatin1Char(' ')));
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    // Two pixels for the cursor.
    return style()->sizeFromContents(QStyle::CT_SpinBox, &option,
                                     QSize(width + 2, lineEdit()->sizeHint().height()), this);
}

void SpinEdit::stepBy(int steps) {
    setValue(
        static_cast<int>(qBound(qint64(m_min), qint64(value()) + qint64(steps) * m_step, qint64(m_max))));
    selectAll();
}

QValidator::State SpinEdit::validate(QString& input, int&) const {
    for (const QChar c : input) {
        if ((c < QLatin1Char('0') || c > QLatin1Char('9')) && c != QLatin1Char('+') &&
            c != QLatin1Char('-') && c != QLatin1Char('.')) {
            QApplication::beep();
            return QValidator::Invalid;
        }
    }
    return QValidator::Acceptable;
}

QAbstractSpinBox::StepEnabled SpinEdit::stepEnabled() const {
    const int v = value();
    StepEnabled e = StepNone;
    if (v < m_max) e |= StepUpEnabled;
    if (v > m_min) e |= StepDownEnabled;
    return e;
}

void SpinEdit::focusOutEvent(QFocusEvent* event) {
    if (const auto v = parseIntegerText(lineEdit()->text()); v && (*v < m_min || *v > m_max)) setValue(*v);
    QAbstractSpinBox::focusOutEvent(event);
}
