#include "imaging/picture_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "core/little_endian.h"
#include "imaging/dib_section.h"
#include "imaging/save_jpg.h"
#include "tests/fakes/message_recorder.h"
#include "tests/imaging/imaging_test_support.h"

namespace skorva {
namespace {

using testing::ScratchFolder;

std::uint32_t le16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return readLe16(b.data() + at);
}
std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return readLe32(b.data() + at);
}

TEST(PictureFiles, SavesA24BitBottomUpBitmapReplacingAnOldFile) {
    ScratchFolder folder;
    const std::string path = folder.file("bob0000000.bmp");
    testing::writeFile(path, std::vector<std::uint8_t>(1000, 0xEE));
    const Picture picture = testing::makePicture(
        5, 3, [](int x, int y) { return static_cast<std::uint32_t>(0x112233 * (x + 1) + 0x40 * y); });

    ASSERT_TRUE(SavePicture(picture, path).ok());
    const std::vector<std::uint8_t> file = testing::readFile(path);
    // 5 pixels of 3 bytes and 1 byte of padding per row.
    ASSERT_EQ(file.size(), 54u + 16u * 3u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(le32(file, 2), file.size());  // bfSize
    EXPECT_EQ(le16(file, 6), 0u);           // bfReserved1
    EXPECT_EQ(le16(file, 8), 0u);           // bfReserved2
    EXPECT_EQ(le32(file, 10), 54u);         // bfOffBits
    EXPECT_EQ(le32(file, 14), 40u);         // biSize
    EXPECT_EQ(le32(file, 18), 5u);          // biWidth
    EXPECT_EQ(le32(file, 22), 3u);          // biHeight: positive, rows bottom-up
    EXPECT_EQ(le16(file, 26), 1u);          // biPlanes
    EXPECT_EQ(le16(file, 28), 24u);         // biBitCount
    EXPECT_EQ(le32(file, 30), 0u);          // biCompression
    EXPECT_EQ(le32(file, 34), 48u);         // biSizeImage
    for (std::size_t at = 38; at < 54; at += 4) {
        EXPECT_EQ(le32(file, at), 0u) << at;  // resolutions and colour counts
    }
    for (int row = 0; row < 3; ++row) {
        const std::uint8_t* source = picture.row(2 - row);
        for (int x = 0; x < 5; ++x) {
            for (int k = 0; k < 3; ++k) {
                EXPECT_EQ(file[54 + static_cast<std::size_t>(row) * 16 + 3 * x + k], source[4 * x + k]);
            }
        }
        EXPECT_EQ(file[54 + static_cast<std::size_t>(row) * 16 + 15], 0);
    }
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"bob0000000.bmp"});

    // Nothing to save, or nowhere to save it: a failure in the system's words, and no file appears.
    EXPECT_EQ(SavePicture(Picture(), folder.file("none.bmp")).text(), std::strerror(EINVAL));
    EXPECT_EQ(SavePicture(Picture::black(0, 0), folder.file("empty.bmp")).text(), std::strerror(EINVAL));
    EXPECT_EQ(SavePicture(picture, folder.file("missing/x.bmp")).text(), std::strerror(ENOENT));
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"bob0000000.bmp"});
}

TEST(PictureFiles, LoadsWhatSaveJpgWroteAndRefusesDamagedFiles) {
    testing::MessageRecorder messages;
    ScratchFolder folder;
    const Picture original = testing::gradientPicture(64, 48);
    cDIBSection section;
    section.CreateFromPicture(original);
    const std::string path = folder.file("frame.jpg");
    ASSERT_TRUE(SaveJPG(section, path, 90));

    const Picture loaded = LoadPicture(path);
    ASSERT_FALSE(loaded.isNull());
    ASSERT_EQ(loaded.width(), 64);
    ASSERT_EQ(loaded.height(), 48);
    ASSERT_EQ(loaded.format(), PixelFormat::Bgrx32);
    testing::Decoded asDecoded{true, 64, 48, {}};
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            const std::uint8_t* p = loaded.row(y) + 4 * x;
            asDecoded.bgr.insert(asDecoded.bgr.end(), {p[0], p[1], p[2]});
            ASSERT_EQ(p[3], 0xFF);
        }
    }
    EXPECT_GT(testing::psnr(asDecoded, original), 30.0);

    const std::vector<std::uint8_t> jpeg = testing::readFile(path);
    testing::writeFile(
        folder.file("truncated.jpg"),
        std::vector<std::uint8_t>(jpeg.begin(), jpeg.begin() + static_cast<long>(jpeg.size() / 2)));
    std::vector<std::uint8_t> garbage(jpeg.size());
    for (std::size_t i = 0; i < garbage.size(); ++i) {
        garbage[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }
    testing::writeFile(folder.file("garbage.jpg"), garbage);
    // A valid header in front of scrambled entropy-coded data.
    std::vector<std::uint8_t> scrambled = jpeg;
    for (std::size_t i = scrambled.size() / 2; i + 2 < scrambled.size(); ++i) {
        scrambled[i] = 0xFF;
    }
    testing::writeFile(folder.file("scrambled.jpg"), scrambled);
    testing::writeFile(folder.file("empty.jpg"), {});

    EXPECT_TRUE(LoadPicture(folder.file("truncated.jpg")).isNull());
    EXPECT_TRUE(LoadPicture(folder.file("garbage.jpg")).isNull());
    EXPECT_TRUE(LoadPicture(folder.file("scrambled.jpg")).isNull());
    EXPECT_TRUE(LoadPicture(folder.file("empty.jpg")).isNull());
    EXPECT_TRUE(LoadPicture(folder.file("missing.jpg")).isNull());
    EXPECT_TRUE(messages.messages.empty());
}

}  // namespace
}  // namespace skorva
