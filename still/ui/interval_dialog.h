#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>

class QCheckBox;
class QLabel;
class QPushButton;
class SpinEdit;

// The interval-save dialog, the view of IntervalSaving: the interval, the number of shots and
// Start. Created hidden at start-up; IntervalSaving opens it once a save folder is known.
class IntervalSaveDialog : public QDialog {
    Q_OBJECT
public:
    explicit IntervalSaveDialog(const QFont& font);

    // Makes the controls before the dialog is first shown.
    void setVisible(bool visible) override;
    // The interval as the 16-bit count the tick takes: a number typed out of range and confirmed
    // with Enter wraps.
    std::uint16_t intervalMs() const;
    // The number of shots, when limited.
    std::optional<int> shotLimit() const;
    // After a limited run the field stays locked until the box is clicked again.
    void lockShotLimit();

    // The controls exist once the dialog has been shown.
    QLabel* stopHint = nullptr;
    SpinEdit* intervalField = nullptr;  // interval in milliseconds
    QLabel* intervalUnit = nullptr;
    QCheckBox* shotLimitBox = nullptr;   // limit the number of shots
    SpinEdit* shotLimitField = nullptr;  // number of shots
    QPushButton* startButton = nullptr;
    QPushButton* cancelButton = nullptr;

signals:
    void startClicked();
    // Every close (Cancel, Escape, the title bar, a stop of the frame window), before the dialog hides.
    void closed();

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // A spin edit lays out its text when it is made, which loads the whole font database: made at
    // start-up, the controls would hold back the frame window's first appearance.
    void createControls();
    void onShotLimitBoxClicked();
};
