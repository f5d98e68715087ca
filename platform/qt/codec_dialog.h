#pragma once
// The compression-options dialog on Qt: the compressors it is handed, a quality slider where
// the compressor has one, "Key Frame Every N frames" and "Data Rate N KB/sec" where the caller asks for
// them (ICMF flags), OK and Cancel.

#include <QDialog>
#include <string>
#include <vector>

#include "platform/codec_chooser.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QSlider;
class QSpinBox;

namespace skorva {

class CodecDialog final : public QDialog {
    Q_OBJECT

  public:
    // `notOffered`: a line under the list naming what the movie's container cannot hold; empty: none.
    CodecDialog(QWidget* parent, std::uint32_t icmfFlags, std::vector<OfferedCodec> offered,
                const CompressOptions& initial, const std::string& notOffered = {});
    // The choice as the AVI library takes it.
    CompressOptions options() const;

  private:
    void codecChanged();
    const OfferedCodec* currentCodec() const;

    std::vector<OfferedCodec> codecs_;
    std::uint32_t icmfFlags_;
    CompressOptions initial_;
    QListWidget* list_;
    QLabel* goodFor_;
    QLabel* qualityLabel_;
    QSlider* quality_;
    QCheckBox* keyFrameCheck_;
    QSpinBox* keyFrameSpin_;
    QCheckBox* dataRateCheck_;
    QSpinBox* dataRateSpin_;
};

class QtCodecChooser final : public CodecChooser {
  public:
    bool choose(WindowHandle owner, std::uint32_t icmfFlags, const std::vector<OfferedCodec>& offered,
                CompressOptions& options) override;
    bool choose(WindowHandle owner, std::uint32_t icmfFlags, const std::vector<OfferedCodec>& offered,
                const std::string& notOffered, CompressOptions& options) override;
};

}  // namespace skorva
