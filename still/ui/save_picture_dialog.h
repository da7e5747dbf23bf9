#pragma once

#include <QString>
#include <memory>
#include <optional>

class QFileDialog;
class QWidget;

// The save-as dialog: six type filters, a default extension added to a name typed without
// one, and the last file name kept between uses. Windows take this interface so that tests
// can answer it.
class SavePictureDialog {
public:
    virtual ~SavePictureDialog() = default;
    // Selects filter index (1-based) and the default extension for the next opening.
    virtual void preselect(int filterIndex, const QString& defaultSuffix) = 0;
    // Asks for a file name in a dialog opened from owner; nothing when the user cancels.
    virtual std::optional<QString> exec(QWidget* owner) = 0;
};

class QtSavePictureDialog final : public SavePictureDialog {
public:
    QtSavePictureDialog();
    ~QtSavePictureDialog() override;
    void preselect(int filterIndex, const QString& defaultSuffix) override;
    std::optional<QString> exec(QWidget* owner) override;

    // The dialog itself, made on first use.
    QFileDialog& dialog();

private:
    std::unique_ptr<QFileDialog> m_dialog;
    int m_filterIndex = 1;
    QString m_suffix;
};
