#include "platform/avi/module/codec_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "platform/avi/module/avi_ffmpeg.h"

namespace {

constexpr int kDefaultQualityPercent = 75;
constexpr int kDefaultKeyFrameEvery = 15;
constexpr int kDefaultDataRateKBps = 300;
constexpr QSize kPreviewSize(192, 144);

}  // namespace

const QString CodecDialog::kUncompressedEntry = QStringLiteral("全フレーム (非圧縮)");

CodecDialog::CodecDialog(QWidget* owner, AviSource& source, const AviSaveOptions& options)
    : QDialog(owner), m_source(source), m_initial(options) {
    setWindowTitle(QStringLiteral("ビデオの圧縮"));

    m_compressor = new QComboBox(this);
    m_compressor->setObjectName("compressor");
    m_compressor->addItem(kUncompressedEntry);
    for (const AviEncoder& encoder : aviEncoders())
        m_compressor->addItem(QString::fromStdString(encoder.description),
                              QString::fromStdString(encoder.name));
    const AviEncoder* initial =
        options.fccHandler != kUncompressedHandler ? findAviEncoder(options.encoder) : nullptr;
    if (initial) m_compressor->setCurrentIndex(m_compressor->findData(QString::fromStdString(initial->name)));

    m_quality = new QSlider(Qt::Horizontal, this);
    m_quality->setObjectName("quality");
    m_quality->setRange(0, 100);
    m_quality->setValue(options.quality >= 0 ? options.quality / 100 : kDefaultQualityPercent);
    m_qualityValue = new QLabel(this);

    m_keyFrames = new QCheckBox(QStringLiteral("キー フレーム(&K)"), this);
    m_keyFrames->setObjectName("keyFrames");
    m_keyFrames->setChecked(options.keyFrameEvery > 0);
    m_keyFrameEvery = new QSpinBox(this);
    m_keyFrameEvery->setObjectName("keyFrameEvery");
    m_keyFrameEvery->setRange(1, 9999);
    m_keyFrameEvery->setValue(options.keyFrameEvery > 0 ? options.keyFrameEvery : kDefaultKeyFrameEvery);

    m_dataRate = new QCheckBox(QStringLiteral("データ レート(&D)"), this);
    m_dataRate->setObjectName("dataRate");
    m_dataRate->setChecked(options.dataRateKBps > 0);
    m_dataRateKBps = new QSpinBox(this);
    m_dataRateKBps->setObjectName("dataRateKBps");
    m_dataRateKBps->setRange(1, 1000000);
    m_dataRateKBps->setValue(options.dataRateKBps > 0 ? options.dataRateKBps : kDefaultDataRateKBps);

    auto* compressorLabel = new QLabel(QStringLiteral("圧縮プログラム(&C):"), this);
    compressorLabel->setBuddy(m_compressor);
    auto* qualityLabel = new QLabel(QStringLiteral("圧縮の品質(&Q):"), this);
    qualityLabel->setBuddy(m_quality);
    auto* settings = new QGridLayout;
    settings->addWidget(compressorLabel, 0, 0);
    settings->addWidget(m_compressor, 0, 1, 1, 2);
    settings->addWidget(qualityLabel, 1, 0);
    settings->addWidget(m_quality, 1, 1);
    settings->addWidget(m_qualityValue, 1, 2);
    settings->addWidget(m_keyFrames, 2, 0);
    settings->addWidget(m_keyFrameEvery, 2, 1);
    settings->addWidget(new QLabel(QStringLiteral("フレームごと"), this), 2, 2);
    settings->addWidget(m_dataRate, 3, 0);
    settings->addWidget(m_dataRateKBps, 3, 1);
    settings->addWidget(new QLabel(QStringLiteral("KB/秒"), this), 3, 2);

    auto* previewBox = new QGroupBox(QStringLiteral("プレビュー"), this);
    m_preview = new QLabel(previewBox);
    m_preview->setObjectName("preview");
    m_preview->setFixedSize(kPreviewSize);
    m_preview->setAlignment(Qt::AlignCenter);
    m_previewPosition = new QSlider(Qt::Horizontal, previewBox);
    m_previewPosition->setObjectName("previewPosition");
    m_previewPosition->setRange(0, std::max(0, source.frameCount() - 1));
    m_previewCaption = new QLabel(previewBox);
    auto* previewLayout = new QVBoxLayout(previewBox);
    previewLayout->addWidget(m_preview, 0, Qt::AlignHCenter);
    previewLayout->addWidget(m_previewPosition);
    previewLayout->addWidget(m_previewCaption);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(settings);
    layout->addWidget(previewBox);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_compressor, &QComboBox::currentIndexChanged, this, &CodecDialog::updateControls);
    connect(m_keyFrames, &QCheckBox::toggled, this, &CodecDialog::updateControls);
    connect(m_dataRate, &QCheckBox::toggled, this, &CodecDialog::updateControls);
    connect(m_quality, &QSlider::valueChanged, this, &CodecDialog::updateControls);
    connect(m_previewPosition, &QSlider::valueChanged, this, &CodecDialog::showPreview);
    updateControls();
    showPreview(0);
}

const AviEncoder* CodecDialog::chosenEncoder() const {
    if (m_compressor->currentIndex() <= 0) return nullptr;
    return findAviEncoder(m_compressor->currentData().toString().toStdString());
}

// Only the settings the chosen encoder honours can be changed.
void CodecDialog::updateControls() {
    const AviEncoder* encoder = chosenEncoder();
    m_quality->setEnabled(encoder && encoder->quality);
    m_qualityValue->setText(QString::number(m_quality->value()));
    m_keyFrames->setEnabled(encoder && encoder->keyFrames);
    m_keyFrameEvery->setEnabled(m_keyFrames->isEnabled() && m_keyFrames->isChecked());
    m_dataRate->setEnabled(encoder && encoder->dataRate);
    m_dataRateKBps->setEnabled(m_dataRate->isEnabled() && m_dataRate->isChecked());
}

void CodecDialog::showPreview(int frameIndex) {
    const int count = m_source.frameCount();
    const QImage frame = count > 0 ? m_source.frame(frameIndex) : QImage();
    m_preview->setPixmap(frame.isNull() ? QPixmap()
                                        : QPixmap::fromImage(frame.scaled(kPreviewSize, Qt::KeepAspectRatio,
                                                                          Qt::SmoothTransformation)));
    m_previewCaption->setText(count > 0 ? QStringLiteral("フレーム %1 / %2").arg(frameIndex + 1).arg(count)
                                        : QStringLiteral("フレームがありません"));
}

AviSaveOptions CodecDialog::options() const {
    AviSaveOptions result = m_initial;
    const AviEncoder* encoder = chosenEncoder();
    if (!encoder) {
        result.fccHandler = kUncompressedHandler;
        result.encoder.clear();
        return result;
    }
    result.fccHandler = encoder->fourcc;
    result.encoder = encoder->name;
    result.quality = m_quality->isEnabled() ? m_quality->value() * 100 : -1;
    result.keyFrameEvery = m_keyFrameEvery->isEnabled() ? m_keyFrameEvery->value() : 0;
    result.dataRateKBps = m_dataRateKBps->isEnabled() ? m_dataRateKBps->value() : 0;
    return result;
}
