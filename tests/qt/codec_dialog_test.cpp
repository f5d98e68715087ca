#include "platform/qt/codec_dialog.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QWidget>

#include "platform/avi/avifile.h"
#include "platform/avi/codecs.h"
#include "platform/services.h"
#include "tests/qt/modal_driver.h"

namespace skorva {
namespace {

using testing::onNextModal;

// What the dialog is handed, in this order.
const std::vector<OfferedCodec> kOffered = {
    {0, "Full Frames (Uncompressed)", "Exact pixels.", false, true},
    {avi::makeFourcc("MJPG"), "Motion JPEG", "Every frame a JPEG.", true, true},
    {avi::makeFourcc("FMP4"), "MPEG-4 Part 2", "Small files.", true, false},
    {avi::makeFourcc("H264"), "H.264", "The smallest files.", true, false},
};
constexpr int kMjpeg = 1;
constexpr int kMpeg4 = 2;
constexpr int kH264 = 3;

void press(QDialog& dialog, QDialogButtonBox::StandardButton which) {
    dialog.findChild<QDialogButtonBox*>()->button(which)->click();
}

TEST(CodecDialog, AcceptedChoiceCarriesCompressorQualityKeyFramesAndDataRate) {
    QWidget owner;
    owner.show();
    QtCodecChooser chooser;
    QWidget* parentSeen = nullptr;
    QString goodFor;
    bool keyFrameOfferedForMjpeg = true;
    onNextModal<QDialog>([&](QDialog& dialog) {
        parentSeen = dialog.parentWidget();
        auto* list = dialog.findChild<QListWidget*>("compressorList");
        list->setCurrentRow(kMjpeg);
        keyFrameOfferedForMjpeg = dialog.findChild<QCheckBox*>("keyFrameCheck")->isEnabled();
        list->setCurrentRow(kMpeg4);
        goodFor = dialog.findChild<QLabel*>("goodFor")->text();
        dialog.findChild<QSlider*>("qualitySlider")->setValue(55);
        dialog.findChild<QCheckBox*>("keyFrameCheck")->setChecked(true);
        dialog.findChild<QSpinBox*>("keyFrameSpin")->setValue(10);
        dialog.findChild<QCheckBox*>("dataRateCheck")->setChecked(true);
        dialog.findChild<QSpinBox*>("dataRateSpin")->setValue(100);
        press(dialog, QDialogButtonBox::Ok);
    });
    CompressOptions options;
    ASSERT_TRUE(chooser.choose(static_cast<WindowHandle>(owner.winId()),
                               icmf::kChooseKeyFrame | icmf::kChooseDataRate, kOffered, options));
    EXPECT_EQ(parentSeen, &owner);
    EXPECT_FALSE(keyFrameOfferedForMjpeg);  // every Motion JPEG frame is a key frame anyway
    EXPECT_EQ(goodFor.toStdString(), "Small files.");
    EXPECT_EQ(options.fccType, avi::makeFourcc("vids"));
    EXPECT_EQ(options.fccHandler, avi::makeFourcc("FMP4"));
    EXPECT_EQ(options.quality, 5500u);
    EXPECT_EQ(options.keyFrameEvery, 10u);
    EXPECT_EQ(options.bytesPerSecond, 100u * 1024u);
}

TEST(CodecDialog, FlagsDecideTheKeyFrameAndDataRateRowsAndCancelChangesNothing) {
    QtCodecChooser chooser;
    bool keyFrame = true;
    bool dataRate = true;
    bool qualityForFullFrames = true;
    onNextModal<QDialog>([&](QDialog& dialog) {
        dialog.findChild<QListWidget*>("compressorList")->setCurrentRow(0);
        qualityForFullFrames = dialog.findChild<QSlider*>("qualitySlider")->isEnabled();
        dialog.findChild<QListWidget*>("compressorList")->setCurrentRow(kH264);
        keyFrame = dialog.findChild<QCheckBox*>("keyFrameCheck")->isEnabled();
        dataRate = dialog.findChild<QCheckBox*>("dataRateCheck")->isEnabled();
        press(dialog, QDialogButtonBox::Ok);
    });
    CompressOptions options;
    ASSERT_TRUE(chooser.choose(0, 0, kOffered, options));
    EXPECT_FALSE(qualityForFullFrames);
    EXPECT_FALSE(keyFrame);
    EXPECT_FALSE(dataRate);
    EXPECT_EQ(options.keyFrameEvery, 0u);
    EXPECT_EQ(options.bytesPerSecond, 0u);

    onNextModal<QDialog>([](QDialog& dialog) {
        dialog.findChild<QListWidget*>("compressorList")->setCurrentRow(1);
        press(dialog, QDialogButtonBox::Cancel);
    });
    CompressOptions untouched;
    untouched.fccHandler = 0;
    untouched.quality = 1234;
    EXPECT_FALSE(chooser.choose(0, 3, kOffered, untouched));
    EXPECT_EQ(untouched.fccHandler, 0u);
    EXPECT_EQ(untouched.quality, 1234u);
}

TEST(CodecDialog, SaveOptionsOfTheAviLibraryAnswerThroughTheDialogWithWhatTheContainerHolds) {
    QtCodecChooser chooser;
    ScopedServices installed(Services{.codecChooser = &chooser});
    struct Case {
        const char* name;
        std::vector<std::string> listed;  // the first entries, in order
        std::string notOffered;           // the line under the list; empty: no line
    };
    const Case cases[] = {
        {"skorva-codec-dialog.avi",
         {"Full Frames (Uncompressed)", "Motion JPEG", "Motion JPEG (recorded frames, no re-encoding)"},
         ""},
        {"skorva-codec-dialog.mp4",
         {"Motion JPEG", "Motion JPEG (recorded frames, no re-encoding)", "MPEG-4 Part 2"},
         "Not offered for MP4: Full Frames (Uncompressed), FFV1 lossless."},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        avi::AVIFileInit();
        const std::string path = (std::filesystem::temp_directory_path() / each.name).string();
        avi::PAVIFILE file = 0;
        ASSERT_EQ(avi::AVIFileOpen(&file, path, avi::OF_WRITE | avi::OF_CREATE, nullptr), avi::AVIERR_OK);
        avi::AVISTREAMINFO header;
        header.fccType = avi::mmioStringToFOURCC("vids", 0);
        header.dwScale = 1;
        header.dwRate = 3;
        header.rcFrame = Rect{0, 0, 16, 16};
        avi::PAVISTREAM stream = 0;
        ASSERT_EQ(avi::AVIFileCreateStream(file, &stream, &header), avi::AVIERR_OK);
        avi::AVICOMPRESSOPTIONS options;
        avi::AVICOMPRESSOPTIONS* list[1] = {&options};

        std::vector<std::string> listed;
        std::string notOffered;
        onNextModal<QDialog>([&](QDialog& dialog) {
            const auto* compressors = dialog.findChild<QListWidget*>("compressorList");
            for (int row = 0; row < compressors->count() && row < 3; ++row) {
                listed.push_back(compressors->item(row)->text().toStdString());
            }
            if (const auto* line = dialog.findChild<QLabel*>("notOffered")) {
                notOffered = line->text().toStdString();
            }
            press(dialog, QDialogButtonBox::Cancel);
        });
        EXPECT_EQ(avi::AVISaveOptions(0, 3, 1, &stream, list), 0);
        EXPECT_EQ(listed, each.listed);
        EXPECT_EQ(notOffered, each.notOffered);
        onNextModal<QDialog>([](QDialog& dialog) {
            auto* compressors = dialog.findChild<QListWidget*>("compressorList");
            compressors->setCurrentItem(compressors->findItems("Motion JPEG", Qt::MatchExactly).value(0));
            press(dialog, QDialogButtonBox::Ok);
        });
        EXPECT_EQ(avi::AVISaveOptions(0, 3, 1, &stream, list), 1);
        EXPECT_EQ(options.fccHandler, avi::makeFourcc("MJPG"));
        EXPECT_EQ(options.fccType, avi::makeFourcc("vids"));

        avi::AVIStreamRelease(stream);
        avi::AVIFileRelease(file);
        avi::AVIFileExit();
        std::filesystem::remove(path);
    }
}

}  // namespace
}  // namespace skorva
