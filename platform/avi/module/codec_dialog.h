// The codec dialog: the user picks the encoder and its settings for re-compressing an AVI file.
// Part of the AVI module; the program reaches it through AviLibrary::chooseOptions.
#pragma once

#include <QDialog>

#include "platform/avi/avi_library.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;
class QSpinBox;

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
