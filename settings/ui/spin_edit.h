#pragma once

#include <QAbstractSpinBox>

// A spin edit as the settings and interval dialogs use it: the arrows step within the
// bounds, typing takes digits, signs and the decimal point, the text is brought into the
// bounds only when the field loses the focus, and value() reads the integer in the text as
// it stands, or the minimum when the text is not an integer.
class SpinEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    SpinEdit(int minimum, int maximum, int step, int value, QWidget* parent = nullptr);

    int value() const;
    // Sets the value brought into the bounds.
    void setValue(int value);
    // Sets the text as it is, as typing would.
    void setText(const QString& text);
    int minimum() const { return m_min; }
    int maximum() const { return m_max; }

    // Wide enough for the widest value in the bounds.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;

protected:
    StepEnabled stepEnabled() const override;
    void focusOutEvent(QFocusEvent* event) override;

signals:
    // The text changed, by typing or by a step.
    void valueChanged(int value);

private:
    int m_min, m_max, m_step;
};
