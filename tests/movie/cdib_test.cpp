#include "movie/cdib.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "tests/fakes/message_recorder.h"
#include "tests/movie/movie_test_support.h"

namespace skorva {
namespace {

using testing::MessageRecorder;
using testing::ScratchFolder;

struct BmpSpec {
    std::int32_t width = 3;
    std::int32_t height = 2;
    std::int16_t bitCount = 24;
    std::int32_t compression = 0;
    std::int32_t offset = 54;      // where the pixels start
    std::int32_t sizeField = -2;   // -2: the true length
    std::int32_t pixelBytes = -1;  // how many pixel bytes follow; -1: the true length
    std::int32_t clrUsed = 0;
};

std::int64_t rowBytes(const BmpSpec& s) {
    return (static_cast<std::int64_t>(s.width) * s.bitCount + 31) / 32 * 4;
}

// A bitmap file laid out byte by byte; pixel and table bytes count up so that blocks can be compared.
std::vector<std::uint8_t> makeBmp(const BmpSpec& s) {
    // Only headers that tell the truth need it; a giant header comes with its own lengths.
    const bool needsTruth = s.pixelBytes < 0 || s.sizeField == -2;
    const std::int64_t trueLength =
        needsTruth ? rowBytes(s) * std::abs(static_cast<std::int64_t>(s.height)) : 0;
    const std::int64_t pixels = s.pixelBytes < 0 ? trueLength : s.pixelBytes;
    std::vector<std::uint8_t> b(static_cast<std::size_t>(std::max(s.offset, 54) + pixels));
    const BitmapFileHeader file{
        .bfType = kBitmapFileType, .bfSize = static_cast<std::int32_t>(b.size()), .bfOffBits = s.offset};
    const BitmapInfoHeader info{
        .biSize = 40,
        .biWidth = s.width,
        .biHeight = s.height,
        .biPlanes = 1,
        .biBitCount = s.bitCount,
        .biCompression = s.compression,
        .biSizeImage = s.sizeField == -2 ? static_cast<std::int32_t>(trueLength) : s.sizeField,
        .biXPelsPerMeter = 2835,
        .biYPelsPerMeter = 2835,
        .biClrUsed = s.clrUsed};
    const auto fileBytes = bitmapFileHeaderBytes(file);
    const auto infoBytes = bitmapInfoHeaderBytes(info);
    std::copy(fileBytes.begin(), fileBytes.end(), b.begin());
    std::copy(infoBytes.begin(), infoBytes.end(), b.begin() + 14);
    for (std::size_t i = 54; i < b.size(); ++i) {
        b[i] = static_cast<std::uint8_t>(i * 7);
    }
    return b;
}

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> block(const std::uint8_t* p, std::int32_t n) {
    return {p, p + n};
}

TEST(cDib, Reads24BitAnd8BitFilesWithTheirBlocksAsTheyStand) {
    ScratchFolder folder;
    MessageRecorder messages;
    cDib dib;

    const BmpSpec rgb{.width = 3, .height = 2};
    const auto bytes = makeBmp(rgb);
    ASSERT_EQ(bytes[0], 'B');
    ASSERT_EQ(bytes[1], 'M');
    writeFile(folder.file("rgb.bmp"), bytes);
    // Memory handed over to read into, larger than the image: the blocks are still the file's own.
    dib.ReusePixelMemory(std::vector<std::uint8_t>(100, 0xEE));
    ASSERT_TRUE(dib.CreateFromFile(folder.file("rgb.bmp")).ok());
    EXPECT_EQ(dib.FileType(), 19778);
    EXPECT_EQ(dib.SizeFileHeader(), static_cast<std::int32_t>(bytes.size()));
    EXPECT_EQ(dib.BitOffset(), 54);
    EXPECT_EQ(dib.SizeInfoHeader(), 40);
    EXPECT_EQ(dib.Width(), 3);
    EXPECT_EQ(dib.Height(), 2);
    EXPECT_EQ(dib.Planes(), 1);
    EXPECT_EQ(dib.BitCount(), 24);
    EXPECT_EQ(dib.Compression(), 0);
    EXPECT_EQ(dib.SizeImage(), 24);  // two rows of 9 bytes padded to 12
    EXPECT_EQ(dib.XPPM(), 2835);
    EXPECT_EQ(dib.YPPM(), 2835);
    EXPECT_EQ(dib.ClrUsed(), 0);
    EXPECT_EQ(dib.ClrImportant(), 0);
    EXPECT_EQ(dib.SizeBitmapInfo(), 40);
    EXPECT_EQ(block(dib.PointerToBitmapInfo(), 40),
              std::vector<std::uint8_t>(bytes.begin() + 14, bytes.begin() + 54));
    EXPECT_EQ(block(dib.PointerToBits(), 24), std::vector<std::uint8_t>(bytes.begin() + 54, bytes.end()));

    const BmpSpec palette{.width = 5, .height = 3, .bitCount = 8, .offset = 1078, .clrUsed = 256};
    const auto paletted = makeBmp(palette);
    writeFile(folder.file("pal.bmp"), paletted);
    ASSERT_TRUE(dib.CreateFromFile(folder.file("pal.bmp")).ok());
    EXPECT_EQ(dib.BitCount(), 8);
    EXPECT_EQ(dib.SizeBitmapInfo(), 1064);
    EXPECT_EQ(block(dib.PointerToBitmapInfo(), 1064),
              std::vector<std::uint8_t>(paletted.begin() + 14, paletted.begin() + 1078));
    EXPECT_EQ(dib.SizeImage(), 24);
    EXPECT_EQ(block(dib.PointerToBits(), 24),
              std::vector<std::uint8_t>(paletted.begin() + 1078, paletted.end()));

    // An image-size field of 0 is allowed for uncompressed bitmaps: the length follows from the rows.
    const BmpSpec zero{.width = 7, .height = -4, .sizeField = 0};
    writeFile(folder.file("zero.bmp"), makeBmp(zero));
    ASSERT_TRUE(dib.CreateFromFile(folder.file("zero.bmp")).ok());
    EXPECT_EQ(dib.SizeImage(), 24 * 4);
    EXPECT_TRUE(messages.messages.empty());
}

TEST(cDib, BlocksAreOutOfRangeBeforeTheFirstCreation) {
    MessageRecorder messages;
    cDib dib;
    EXPECT_THROW(dib.PointerToBits(), std::out_of_range);
    EXPECT_THROW(dib.PointerToBitmapInfo(), std::out_of_range);
    EXPECT_THROW(dib.SizeBitmapInfo(), std::out_of_range);
    EXPECT_EQ(dib.Width(), 0);
    ScratchFolder folder;
    EXPECT_FALSE(dib.WriteToFile(folder.file("nothing.bmp")));
    EXPECT_FALSE(std::filesystem::exists(folder.file("nothing.bmp")));
}

TEST(cDib, MissingJpegAndLockedFilesGiveTheirMessagesAndKeepTheImage) {
    ScratchFolder folder;
    MessageRecorder messages;
    cDib dib;
    writeFile(folder.file("good.bmp"), makeBmp({}));
    ASSERT_TRUE(dib.CreateFromFile(folder.file("good.bmp")).ok());
    const auto bits = block(dib.PointerToBits(), dib.SizeImage());

    const std::string missing = folder.file("missing.bmp");
    const Status absent = dib.CreateFromFile(missing);
    ASSERT_FALSE(absent.ok());
    EXPECT_EQ(absent.message(), (Message{"File does not exist:\r\n" + missing, MessageIcon::Critical}));
    EXPECT_EQ(dib.FileType(), 19778);
    EXPECT_EQ(block(dib.PointerToBits(), dib.SizeImage()), bits);

    const std::string jpeg = folder.file("frame.bmp");
    testing::writeJpeg(jpeg, 16, 16, 1);
    const Status notBitmap = dib.CreateFromFile(jpeg);
    ASSERT_FALSE(notBitmap.ok());
    EXPECT_EQ(notBitmap.message(),
              (Message{"File is not a supported bitmap format:\r\n" + jpeg, MessageIcon::Information}));
    // The model tells; only the application shows a box.
    EXPECT_TRUE(messages.messages.empty());
    // The first two bytes, FF D8, as a little-endian 16-bit number widened by its sign.
    EXPECT_EQ(dib.FileType(), static_cast<std::int16_t>(0xD8FF));
    EXPECT_EQ(dib.Width(), 3);
    EXPECT_EQ(block(dib.PointerToBits(), dib.SizeImage()), bits);
}

TEST(cDib, AFileThatCannotBeOpenedForPermissionIsLocked) {
    ScratchFolder folder;
    const std::string path = folder.file("locked.bmp");
    writeFile(path, makeBmp({}));
    std::filesystem::permissions(path, std::filesystem::perms::none);
    // Root reads any file, so the check runs in a child that has given up root.
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(3);
        }
        cDib dib;
        const Status loaded = dib.CreateFromFile(path);
        const bool told =
            !loaded.ok() &&
            loaded.message() == Message{"File is locked - cannot access:\r\n" + path, MessageIcon::Critical};
        _exit(told ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 3) {
        GTEST_SKIP() << "cannot drop root to test a refused open";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(cDib, MalformedHeadersAreNotSupportedAndLeaveTheObjectUnchanged) {
    ScratchFolder folder;
    MessageRecorder messages;
    cDib dib;
    writeFile(folder.file("good.bmp"), makeBmp({}));
    ASSERT_TRUE(dib.CreateFromFile(folder.file("good.bmp")).ok());
    const auto bits = block(dib.PointerToBits(), dib.SizeImage());

    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Case> cases = {
        {"negative size", makeBmp({.sizeField = -5})},
        {"size beyond the file", makeBmp({.sizeField = 0x7FFFFFF0})},
        {"offset 14", makeBmp({.offset = 14})},
        {"offset 0", makeBmp({.offset = 0})},
        {"offset inside the info header", makeBmp({.offset = 40})},
        {"pixels cut short", makeBmp({.pixelBytes = 10})},
        {"zero size of a compressed bitmap", makeBmp({.compression = 1, .sizeField = 0})},
        {"zero size with a giant width",
         makeBmp({.width = 0x7FFFFFFF, .height = 0x7FFFFFFF, .sizeField = 0, .pixelBytes = 16})},
    };
    auto shortHeader = makeBmp({});
    shortHeader.resize(30);
    cases.push_back({"headers cut short", shortHeader});
    auto farOffset = makeBmp({.offset = 100000});
    farOffset.resize(200);
    cases.push_back({"offset beyond the file", farOffset});
    cases.push_back({"file header only", std::vector<std::uint8_t>{'B', 'M', 0, 0}});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.file("bad.bmp");
        writeFile(path, c.bytes);
        const Status loaded = dib.CreateFromFile(path);
        ASSERT_FALSE(loaded.ok());
        EXPECT_EQ(loaded.message(),
                  (Message{"File is not a supported bitmap format:\r\n" + path, MessageIcon::Information}));
        EXPECT_EQ(dib.Width(), 3);
        EXPECT_EQ(dib.BitOffset(), 54);
        EXPECT_EQ(dib.SizeBitmapInfo(), 40);
        EXPECT_EQ(block(dib.PointerToBits(), dib.SizeImage()), bits);
    }
    EXPECT_TRUE(messages.messages.empty());
}

TEST(cDib, PackedBitmapRoundTripsThroughAFile) {
    ScratchFolder folder;
    MessageRecorder messages;
    cDib dib;
    // 8-bit packed bitmaps are refused without a word.
    auto packed8 = makeBmp({.bitCount = 8});
    EXPECT_FALSE(dib.CreateFromPackedDIBPointer(packed8.data() + 14));
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_THROW(dib.PointerToBits(), std::out_of_range);

    const auto file = makeBmp({.width = 5, .height = 3});
    ASSERT_TRUE(dib.CreateFromPackedDIBPointer(file.data() + 14));
    EXPECT_EQ(dib.FileType(), 19778);
    EXPECT_EQ(dib.SizeImage(), 48);
    EXPECT_EQ(dib.SizeFileHeader(), 54 + 48);
    EXPECT_EQ(dib.BitOffset(), 54);
    EXPECT_EQ(dib.SizeBitmapInfo(), 40);

    // Writing over a longer file leaves exactly the bitmap behind.
    const std::string path = folder.file("round.bmp");
    writeFile(path, std::vector<std::uint8_t>(5000, 0xAB));
    ASSERT_TRUE(dib.WriteToFile(path));
    const auto written = readFile(path);
    ASSERT_EQ(written.size(), 54u + 48u);
    EXPECT_EQ(std::vector<std::uint8_t>(written.begin() + 14, written.end()),
              std::vector<std::uint8_t>(file.begin() + 14, file.end()));

    cDib back;
    ASSERT_TRUE(back.CreateFromFile(path).ok());
    EXPECT_EQ(back.SizeFileHeader(), dib.SizeFileHeader());
    EXPECT_EQ(back.Width(), 5);
    EXPECT_EQ(back.Height(), 3);
    EXPECT_EQ(back.XPPM(), 2835);
    EXPECT_EQ(block(back.PointerToBitmapInfo(), 40), block(dib.PointerToBitmapInfo(), 40));
    EXPECT_EQ(block(back.PointerToBits(), 48), block(dib.PointerToBits(), 48));

    EXPECT_FALSE(dib.WriteToFile(folder.file("no/such/folder/x.bmp")));
    EXPECT_TRUE(messages.messages.empty());
}

}  // namespace
}  // namespace skorva
