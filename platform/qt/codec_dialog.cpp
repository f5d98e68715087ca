#include "platform/qt/codec_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

namespace skorva {
namespace {

constexpr std::uint32_t kCompressKeyFrames = 0x4;  // AVICOMPRESSF_KEYFRAMES
constexpr std::uint32_t kCompressDataRate = 0x2;   // AVICOMPRESSF_DATARATE
constexpr std::uint32_t kCompressValid = 0x8;      // AVICOMPRESSF_VALID
constexpr std::uint32_t kDefaultQuality = 7500;
constexpr int kDefaultKeyFrameEvery = 15;
constexpr int kDefaultKilobytesPerSecond = 300;

}  // namespace

CodecDialog::CodecDialog(QWidget* parent, std::uint32_t icmfFlags, std::vector<OfferedCodec> offered,
                         const CompressOptions& initial, const std::string& notOffered)
    : QDialog(parent),
      codecs_(std::move(offered)),
      icmfFlags_(icmfFlags),
      initial_(initial),
      list_(new QListWidget(this)),
      goodFor_(new QLabel(this)),
      qualityLabel_(new QLabel(this)),
      quality_(new QSlider(Qt::Horizontal, this)),
      keyFrameCheck_(new QCheckBox(tr("Key Frame Every"), this)),
      keyFrameSpin_(new QSpinBox(this)),
      dataRateCheck_(new QCheckBox(tr("Data Rate"), this)),
      dataRateSpin_(new QSpinBox(this)) {
    setWindowTitle(tr("Video Compression"));
    setModal(true);
    list_->setObjectName("compressorList");
    goodFor_->setObjectName("goodFor");
    goodFor_->setWordWrap(true);
    quality_->setObjectName("qualitySlider");
    qualityLabel_->setObjectName("qualityValue");
    keyFrameCheck_->setObjectName("keyFrameCheck");
    keyFrameSpin_->setObjectName("keyFrameSpin");
    dataRateCheck_->setObjectName("dataRateCheck");
    dataRateSpin_->setObjectName("dataRateSpin");

    int selected = 0;
    for (std::size_t i = 0; i < codecs_.size(); ++i) {
        list_->addItem(QString::fromStdString(codecs_[i].displayName));
        if (codecs_[i].fourcc == initial.fccHandler) {
            selected = static_cast<int>(i);
        }
    }
    list_->setCurrentRow(selected);

    quality_->setRange(0, 100);
    quality_->setValue(static_cast<int>((initial.quality != 0 ? initial.quality : kDefaultQuality) / 100));
    keyFrameSpin_->setRange(1, 9999);
    keyFrameSpin_->setSuffix(tr(" frames"));
    keyFrameSpin_->setValue(initial.keyFrameEvery != 0
                                ? static_cast<int>(std::min(initial.keyFrameEvery, 9999u))
                                : kDefaultKeyFrameEvery);
    keyFrameCheck_->setChecked(initial.keyFrameEvery != 0);
    dataRateSpin_->setRange(1, 1000000);
    dataRateSpin_->setSuffix(tr(" KB/sec"));
    dataRateSpin_->setValue(initial.bytesPerSecond != 0 ? static_cast<int>(initial.bytesPerSecond / 1024)
                                                        : kDefaultKilobytesPerSecond);
    dataRateCheck_->setChecked(initial.bytesPerSecond != 0);

    auto* settings = new QGridLayout;
    settings->addWidget(new QLabel(tr("Compression Quality:"), this), 0, 0);
    settings->addWidget(quality_, 0, 1);
    settings->addWidget(qualityLabel_, 0, 2);
    settings->addWidget(keyFrameCheck_, 1, 0);
    settings->addWidget(keyFrameSpin_, 1, 1, 1, 2);
    settings->addWidget(dataRateCheck_, 2, 0);
    settings->addWidget(dataRateSpin_, 2, 1, 1, 2);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Compressor:"), this));
    layout->addWidget(list_);
    layout->addWidget(goodFor_);
    if (!notOffered.empty()) {
        auto* notOfferedLine = new QLabel(QString::fromStdString(notOffered), this);
        notOfferedLine->setObjectName("notOffered");
        notOfferedLine->setWordWrap(true);
        layout->addWidget(notOfferedLine);
    }
    layout->addLayout(settings);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::currentRowChanged, this, [this] { codecChanged(); });
    connect(keyFrameCheck_, &QCheckBox::toggled, this, [this] { codecChanged(); });
    connect(dataRateCheck_, &QCheckBox::toggled, this, [this] { codecChanged(); });
    connect(quality_, &QSlider::valueChanged, this, [this](int value) { qualityLabel_->setNum(value); });
    qualityLabel_->setNum(quality_->value());
    codecChanged();
}

const OfferedCodec* CodecDialog::currentCodec() const {
    const int row = list_->currentRow();
    return row >= 0 && row < static_cast<int>(codecs_.size()) ? &codecs_[static_cast<std::size_t>(row)]
                                                              : nullptr;
}

// Only what the chosen compressor can use is enabled: no key-frame interval for coders whose every
// frame is a key frame, no quality or data rate for exact ones. The caller's flags decide whether the
// key-frame and data-rate rows are offered at all.
void CodecDialog::codecChanged() {
    const OfferedCodec* codec = currentCodec();
    goodFor_->setText(codec != nullptr ? QString::fromStdString(codec->goodFor) : QString());
    const bool quality = codec != nullptr && codec->hasQuality;
    const bool keyFrames = (icmfFlags_ & icmf::kChooseKeyFrame) != 0 && codec != nullptr && !codec->intraOnly;
    const bool dataRate = (icmfFlags_ & icmf::kChooseDataRate) != 0 && quality;
    quality_->setEnabled(quality);
    keyFrameCheck_->setEnabled(keyFrames);
    keyFrameSpin_->setEnabled(keyFrames && keyFrameCheck_->isChecked());
    dataRateCheck_->setEnabled(dataRate);
    dataRateSpin_->setEnabled(dataRate && dataRateCheck_->isChecked());
}

CompressOptions CodecDialog::options() const {
    CompressOptions chosen = initial_;
    const OfferedCodec* codec = currentCodec();
    chosen.fccType = kStreamTypeVideo;
    chosen.fccHandler = codec != nullptr ? codec->fourcc : 0;
    chosen.quality = quality_->isEnabled() ? static_cast<std::uint32_t>(quality_->value()) * 100 : 0;
    chosen.flags = kCompressValid;
    chosen.keyFrameEvery = 0;
    chosen.bytesPerSecond = 0;
    if (keyFrameSpin_->isEnabled()) {
        chosen.keyFrameEvery = static_cast<std::uint32_t>(keyFrameSpin_->value());
        chosen.flags |= kCompressKeyFrames;
    }
    if (dataRateSpin_->isEnabled()) {
        chosen.bytesPerSecond = static_cast<std::uint32_t>(dataRateSpin_->value()) * 1024;
        chosen.flags |= kCompressDataRate;
    }
    return chosen;
}

bool QtCodecChooser::choose(WindowHandle owner, std::uint32_t icmfFlags,
                            const std::vector<OfferedCodec>& offered, CompressOptions& options) {
    return choose(owner, icmfFlags, offered, std::string(), options);
}

bool QtCodecChooser::choose(WindowHandle owner, std::uint32_t icmfFlags,
                            const std::vector<OfferedCodec>& offered, const std::string& notOffered,
                            CompressOptions& options) {
    QWidget* parent = owner != 0 ? QWidget::find(static_cast<WId>(owner)) : nullptr;
    CodecDialog dialog(parent, icmfFlags, offered, options, notOffered);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    options = dialog.options();
    return true;
}

}  // namespace skorva
