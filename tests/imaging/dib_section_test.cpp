#include "imaging/dib_section.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cstring>
#include <set>
#include <stdexcept>

#include "tests/fakes/fake_clipboard.h"
#include "tests/fakes/message_recorder.h"
#include "tests/imaging/imaging_test_support.h"

namespace skorva {
namespace {

using testing::makePicture;

// Pixel (x, y) of the image (y counted from the top) as stored in a section.
struct Bgr {
    int b, g, r;
    friend bool operator==(const Bgr&, const Bgr&) = default;
};
Bgr sectionPixel(const cDIBSection& section, int x, int y) {
    const std::uint8_t* p =
        section.DIBSectionBitsPtr() + (section.Height() - 1 - y) * section.BytesPerScanLine() + 3 * x;
    return {p[0], p[1], p[2]};
}
Bgr picturePixel(const Picture& picture, int x, int y) {
    const std::uint8_t* p = picture.row(y) + 4 * x;
    return {p[0], p[1], p[2]};
}

TEST(DibSection, StrideAndHeaderFollowTheSize) {
    cDIBSection section;
    for (const auto& [width, stride] : {std::pair{1, 4}, {2, 8}, {3, 12}, {4, 12}, {5, 16}, {320, 960}}) {
        ASSERT_TRUE(section.Create(width, 7)) << width;
        EXPECT_EQ(section.BytesPerScanLine(), stride) << width;
        const BitmapInfoHeader& h = section.Header();
        EXPECT_EQ(h.biSize, 40);
        EXPECT_EQ(h.biWidth, width);
        EXPECT_EQ(h.biHeight, 7);
        EXPECT_EQ(h.biPlanes, 1);
        EXPECT_EQ(h.biBitCount, 24);
        EXPECT_EQ(h.biCompression, 0);
        EXPECT_EQ(h.biSizeImage, stride * 7);
        EXPECT_NE(section.DIBSectionBitsPtr(), nullptr);
    }
    // Sizes without pixels make no section.
    EXPECT_FALSE(section.Create(0, 10));
    EXPECT_EQ(section.DIBSectionBitsPtr(), nullptr);
    EXPECT_FALSE(section.Create(10, -3));
    EXPECT_EQ(section.DIBSectionBitsPtr(), nullptr);
}

TEST(DibSection, SizesBeyond32BitsRaiseOverflow) {
    cDIBSection section;
    // 3 x width + 3 does not fit.
    EXPECT_THROW(section.Create(800'000'000, 1), std::overflow_error);
    EXPECT_THROW(section.Create(-800'000'000, 1), std::overflow_error);
    // The stride fits, stride x height does not.
    EXPECT_THROW(section.Create(100'000, 100'000), std::overflow_error);
    EXPECT_THROW(BytesPerScanLine(0x7FFFFFFF), std::overflow_error);
    EXPECT_EQ(section.DIBSectionBitsPtr(), nullptr);
    // The largest width whose stride fits still works out.
    EXPECT_EQ(BytesPerScanLine(715'827'881), 2'147'483'644);
}

TEST(DibSection, CreateFromPictureCopiesBottomRowFirst) {
    const Picture grab = makePicture(320, 240, [](int x, int y) {
        return static_cast<std::uint32_t>(((x * 7 + y) & 0xFF) << 16 | ((x ^ y) & 0xFF) << 8 |
                                          ((x + 3 * y) & 0xFF));
    });
    cDIBSection section;
    section.CreateFromPicture(grab);
    ASSERT_EQ(section.Width(), 320);
    ASSERT_EQ(section.Height(), 240);
    ASSERT_EQ(section.BytesPerScanLine(), 960);
    // Memory row 0 is the picture's last row.
    const std::uint8_t* bits = section.DIBSectionBitsPtr();
    for (int row = 0; row < 240; ++row) {
        for (int x = 0; x < 320; ++x) {
            const std::uint8_t* p = bits + row * 960 + 3 * x;
            const Bgr expected = picturePixel(grab, x, 239 - row);
            ASSERT_EQ((Bgr{p[0], p[1], p[2]}), expected) << "row " << row << " x " << x;
        }
    }

    // A width with padding: every pixel right, every padding byte 0.
    const Picture odd = makePicture(5, 3, [](int x, int y) {
        return 0x102030u * static_cast<std::uint32_t>(x + 1) + static_cast<std::uint32_t>(y);
    });
    section.CreateFromPicture(odd);
    ASSERT_EQ(section.BytesPerScanLine(), 16);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(sectionPixel(section, x, y), picturePixel(odd, x, y));
        }
        EXPECT_EQ(section.DIBSectionBitsPtr()[y * 16 + 15], 0);
    }

    // A picture without pixels leaves the section empty, which the JPEG writer reports.
    section.CreateFromPicture(Picture());
    EXPECT_EQ(section.DIBSectionBitsPtr(), nullptr);
    EXPECT_EQ(section.Width(), 0);
}

TEST(DibSection, BlitsClipToBothSurfaces) {
    const Picture source =
        makePicture(6, 4, [](int x, int y) { return static_cast<std::uint32_t>(x * 16 + y); });
    cDIBSection section;
    ASSERT_TRUE(section.Create(4, 3));
    // From (3, 2): only 3 x 2 source pixels exist there; the rest of the section stays black.
    section.LoadPictureBlt(source, 3, 2);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            const Bgr expected = (x < 3 && y < 2) ? picturePixel(source, 3 + x, 2 + y) : Bgr{0, 0, 0};
            EXPECT_EQ(sectionPixel(section, x, y), expected) << x << "," << y;
        }
    }
    // A negative origin shifts the copy right and down.
    section.LoadPictureBlt(source, -1, -1, -1, -1);
    EXPECT_EQ(sectionPixel(section, 1, 1), picturePixel(source, 0, 0));
    EXPECT_EQ(sectionPixel(section, 3, 2), picturePixel(source, 2, 1));

    // Painting onto a larger picture at an offset, clipped at its right edge.
    section.LoadPictureBlt(source, 0, 0);
    Picture target = Picture::black(5, 5);
    const Picture before = target;
    section.PaintPicture(target, 2, 1, -1, -1, 0, 0);
    EXPECT_EQ(picturePixel(before, 2, 1), (Bgr{0, 0, 0}));  // the old picture is untouched
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 5; ++x) {
            const bool inside = x >= 2 && y >= 1 && y < 4;
            const Bgr expected = inside ? picturePixel(source, x - 2, y - 1) : Bgr{0, 0, 0};
            EXPECT_EQ(picturePixel(target, x, y), expected) << x << "," << y;
            EXPECT_EQ(target.row(y)[4 * x + 3], 0xFF);
        }
    }
}

TEST(DibSection, ResampleCopiesAtTheSameSizeAndInterpolatesWithHalvesToEven) {
    const Picture picture = makePicture(
        7, 5, [](int x, int y) { return static_cast<std::uint32_t>(x * 0x0A0B0C + y * 0x010203); });
    cDIBSection source;
    source.CreateFromPicture(picture);
    const auto copy = source.Resample(5, 7);
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->Width(), 7);
    ASSERT_EQ(copy->Height(), 5);
    EXPECT_EQ(0, std::memcmp(copy->DIBSectionBitsPtr(), source.DIBSectionBitsPtr(), 5 * 24));

    // 2 x 2 to 4 x 4: blue 10 bottom-left, 11 top-left, 20 bottom-right, 21 top-right (memory rows).
    cDIBSection small;
    ASSERT_TRUE(small.Create(2, 2));
    std::uint8_t* bits = small.DIBSectionBitsPtr();
    bits[0] = 10;
    bits[3] = 20;
    bits[8] = 11;
    bits[11] = 21;
    // The caller's rounding mode must not change the result.
    std::fesetround(FE_UPWARD);
    const auto big = small.Resample(4, 4);
    std::fesetround(FE_TONEAREST);
    ASSERT_NE(big, nullptr);
    ASSERT_EQ(big->BytesPerScanLine(), 12);
    const auto blue = [&](int x, int memoryRow) { return big->DIBSectionBitsPtr()[memoryRow * 12 + 3 * x]; };
    EXPECT_EQ(blue(0, 0), 10);
    // (1, 1) samples at 0.25: 10.25 -> 10, 20.25 -> 20, 12.5 -> 12 (half to even).
    EXPECT_EQ(blue(1, 1), 12);
    // (2, 2) samples at 0.5: 10.5 -> 10, 20.5 -> 20, 15.
    EXPECT_EQ(blue(2, 2), 15);
    // (3, 3) samples at 0.75: 10.75 -> 11, 20.75 -> 21, 18.5 -> 18.
    EXPECT_EQ(blue(3, 3), 18);
    // Green and red were 0 everywhere.
    EXPECT_EQ(big->DIBSectionBitsPtr()[2 * 12 + 3 * 2 + 1], 0);
    EXPECT_EQ(big->DIBSectionBitsPtr()[2 * 12 + 3 * 2 + 2], 0);

    // Target sizes without pixels give no section.
    EXPECT_EQ(small.Resample(0, 4), nullptr);
}

TEST(DibSection, ResampleOfAOnePixelSourceFailsOutOfRange) {
    cDIBSection narrow;
    ASSERT_TRUE(narrow.Create(1, 5));
    EXPECT_THROW(narrow.Resample(10, 2), std::out_of_range);
    EXPECT_THROW(narrow.Resample(5, 3), std::out_of_range);
    cDIBSection flat;
    ASSERT_TRUE(flat.Create(5, 1));
    EXPECT_THROW(flat.Resample(2, 5), std::out_of_range);
    // At its own size it is a plain copy.
    EXPECT_NE(flat.Resample(1, 5), nullptr);
    // A cleared section has no pixels to read.
    cDIBSection cleared;
    ASSERT_TRUE(cleared.Create(4, 4));
    cleared.ClearUp();
    EXPECT_THROW(cleared.Resample(2, 2), std::out_of_range);
}

TEST(DibSection, ClearUpFreesThePixelsAndKeepsTheSize) {
    cDIBSection section;
    section.ClearUp();
    EXPECT_EQ(section.DIBSectionBitsPtr(), nullptr);
    EXPECT_EQ(section.hDC(), 0u);
    EXPECT_EQ(section.hDib(), 0u);
    ASSERT_TRUE(section.Create(33, 21));
    section.ClearUp();
    EXPECT_EQ(section.DIBSectionBitsPtr(), nullptr);
    EXPECT_EQ(section.Width(), 33);
    EXPECT_EQ(section.Height(), 21);
    EXPECT_EQ(section.BytesPerScanLine(), 100);
    EXPECT_EQ(section.hDC(), 0u);
    EXPECT_EQ(section.hDib(), 0u);
}

TEST(DibSection, RandomiseBitsFillsPixelsAndLeavesPadding) {
    cDIBSection section;
    ASSERT_TRUE(section.Create(5, 40));  // 15 pixel bytes and 1 padding byte per row
    std::uint8_t* bits = section.DIBSectionBitsPtr();
    for (int y = 0; y < 40; ++y) {
        bits[y * 16 + 15] = 0xAB;
    }
    section.RandomiseBits(true);
    std::set<int> values;
    for (int y = 0; y < 40; ++y) {
        EXPECT_EQ(bits[y * 16 + 15], 0xAB);
        for (int x = 0; x < 5; ++x) {
            const std::uint8_t* p = bits + y * 16 + 3 * x;
            EXPECT_EQ(p[0], p[1]);
            EXPECT_EQ(p[1], p[2]);
            values.insert(p[0]);
        }
    }
    EXPECT_GT(values.size(), 20u);

    section.RandomiseBits(false);
    values.clear();
    for (int y = 0; y < 40; ++y) {
        EXPECT_EQ(bits[y * 16 + 15], 0xAB);
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(bits[y * 16 + 3 * x], 0);
            values.insert(bits[y * 16 + 3 * x + 1]);
            values.insert(bits[y * 16 + 3 * x + 2]);
        }
    }
    EXPECT_GT(values.size(), 20u);

    // Nothing to fill in a section without pixels.
    cDIBSection empty;
    empty.RandomiseBits(true);
    EXPECT_EQ(empty.DIBSectionBitsPtr(), nullptr);
}

TEST(DibSection, CopyToClipboardHandsOverAnUprightBitmap) {
    testing::MessageRecorder messages;
    testing::FakeClipboard clipboard;
    const Picture picture = testing::gradientPicture(9, 6);
    cDIBSection section;
    section.CreateFromPicture(picture);

    // The refusal is told to the caller, who shows it; the section shows nothing itself.
    const Status asDib = section.CopyToClipboard(true);
    ASSERT_FALSE(asDib.ok());
    EXPECT_EQ(asDib.message(),
              (Message{"I don't know how to put a DIB on the clipboard! Copy as bitmap instead!!!",
                       MessageIcon::None}));
    EXPECT_TRUE(clipboard.bitmaps.empty());

    EXPECT_TRUE(section.CopyToClipboard(false).ok());
    ASSERT_EQ(clipboard.bitmaps.size(), 1u);
    const Picture& copied = clipboard.bitmaps[0];
    ASSERT_EQ(copied.width(), 9);
    ASSERT_EQ(copied.height(), 6);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 9; ++x) {
            EXPECT_EQ(picturePixel(copied, x, y), picturePixel(picture, x, y));
        }
    }

    clipboard.accepts = false;
    EXPECT_FALSE(section.CopyToClipboard(false));
    // A section without pixels puts nothing on the clipboard.
    clipboard.accepts = true;
    section.ClearUp();
    EXPECT_FALSE(section.CopyToClipboard(false));
    EXPECT_EQ(clipboard.bitmaps.size(), 1u);
    EXPECT_TRUE(messages.messages.empty());
}

}  // namespace
}  // namespace skorva
