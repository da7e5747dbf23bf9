// The codec dialog: the user picks the encoder and its settings for re-compressing an AVI file.
#pragma once

#include <QDialog>

#include "platform/avi/avi_library.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;
class QSpinBox;

// Fills AviSaveOptions for one stream. An interface so that tests and benchmarks can choose
// without a dialog.
class CodecChooser {
public:
    virtual ~CodecChooser() = default;
    // Shows the choice modally, owned by owner, starting from options. OK stores the choice in
    // options (the uncompressed entry stores kUncompressedHandler); cancel leaves them unchanged.
    virtual void chooseOptions(QWidget* owner, AviSource& source, AviSaveOptions& options) = 0;
};

class QtCodecChooser final : public CodecChooser {
public:
    void chooseOptions(QWidget* owner, AviSource& source, AviSaveOptions& options) override;
};

class CodecDialog : public QDialog {
    Q_OBJECT
public:
    // The entry of the uncompressed choice, always first in the list.
    static const QString kUncompressedEntry;

    CodecDialog(QWidget* owner, AviSource& source, const AviSaveOptions& options);

    // The choice as the dialog shows it now. Its controls carry object names ("compressor",
    // "quality", "keyFrames", "keyFrameEvery", "dataRate", "dataRateKBps", "previewPosition",
    // "preview") for tests.
    AviSaveOptions options() const;

private:
    const AviEncoder* chosenEncoder() const;
    void updateControls();
    void showPreview(int frameIndex);

    AviSource& m_source;
    AviSaveOptions m_initial;
    QComboBox* m_compressor;
    QSlider* m_quality;
    QLabel* m_qualityValue;
    QCheckBox* m_keyFrames;
    QSpinBox* m_keyFrameEvery;
    QCheckBox* m_dataRate;
    QSpinBox* m_dataRateKBps;
    QSlider* m_previewPosition;
    QLabel* m_previewCaption;
    QLabel* m_preview;
};
