#include "platform/avi/avifile.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

#include "platform/avi/codecs.h"
#include "tests/movie/failing_allocation.h"
#include "tests/movie/movie_test_support.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace skorva::avi {
namespace {

using testing::bitmapInfo;
using testing::failNextAllocationOnThisThread;
using testing::LibraryUse;

using testing::decodeMovie;
using testing::ScratchFolder;

AVISTREAMINFO videoHeader(std::int32_t width, std::int32_t height, std::uint32_t rate) {
    AVISTREAMINFO header;
    header.fccType = mmioStringToFOURCC("vids", 0);
    header.dwScale = 1;
    header.dwRate = rate;
    header.rcFrame = Rect{0, 0, width, height};
    return header;
}

// A movie being written at `path`: its file, its video stream of `width` x |`height`| pixels at `rate`
// frames a second, and a stream compressed with `options` over it, its format a bitmap of `height` rows
// (negative: top-down) of `bitCount` bits.
struct OpenMovie {
    PAVIFILE file = 0;
    PAVISTREAM source = 0;
    PAVISTREAM compressed = 0;
    bool ready = false;
};

OpenMovie openMovie(const std::string& path, std::int32_t width, std::int32_t height, std::uint32_t rate,
                    const AVICOMPRESSOPTIONS& options, std::uint16_t bitCount) {
    OpenMovie movie;
    const AVISTREAMINFO header = videoHeader(width, height < 0 ? -height : height, rate);
    movie.ready =
        AVIFileOpen(&movie.file, path, OF_WRITE | OF_CREATE, nullptr) == AVIERR_OK &&
        AVIFileCreateStream(movie.file, &movie.source, &header) == AVIERR_OK &&
        AVIMakeCompressedStream(&movie.compressed, movie.source, &options, nullptr) == AVIERR_OK &&
        AVIStreamSetFormat(movie.compressed, 0, bitmapInfo(width, height, bitCount).data(), 40) == AVIERR_OK;
    return movie;
}

TEST(AviLibrary, UsesAreCountedAndFourCharacterCodesAreBlankPadded) {
    ScratchFolder folder;
    PAVIFILE file = 99;
    AVIFileExit();  // an exit without an init does nothing
    EXPECT_NE(AVIFileOpen(&file, folder.file("a.avi"), OF_WRITE | OF_CREATE, nullptr), AVIERR_OK);
    EXPECT_EQ(file, 0u);
    AVIFileInit();
    AVIFileInit();
    AVIFileExit();
    ASSERT_EQ(AVIFileOpen(&file, folder.file("a.avi"), OF_WRITE | OF_CREATE, nullptr), AVIERR_OK);
    EXPECT_NE(file, 0u);
    AVIFileRelease(file);
    AVIFileExit();
    EXPECT_NE(AVIFileOpen(&file, folder.file("b.avi"), OF_WRITE | OF_CREATE, nullptr), AVIERR_OK);

    EXPECT_EQ(mmioStringToFOURCC("vids", 0), 0x73646976u);
    EXPECT_EQ(mmioStringToFOURCC("ab", 0), testing::fourcc("ab  "));
    EXPECT_EQ(mmioStringToFOURCC("mjpg", MMIO_TOUPPER), testing::fourcc("MJPG"));
    EXPECT_EQ(mmioStringToFOURCC("mjpg", 0), testing::fourcc("mjpg"));
}

TEST(AviLibrary, RefusesWhatWouldCorruptTheMovie) {
    LibraryUse use;
    ScratchFolder folder;
    const std::string path = folder.file("x:y.avi");  // a colon is part of the name, not a protocol
    std::filesystem::create_directories(folder.path());
    {
        std::FILE* old = std::fopen(path.c_str(), "wb");
        std::fputs("old content that must go", old);
        std::fclose(old);
    }
    PAVIFILE file = 0;
    ASSERT_EQ(AVIFileOpen(&file, path, OF_WRITE | OF_CREATE, nullptr), AVIERR_OK);
    // The old file stays until the finished movie takes its name.
    EXPECT_EQ(std::filesystem::file_size(path), 24u);
    PAVISTREAM source = 0;
    AVISTREAMINFO audio = videoHeader(8, 4, 5);
    audio.fccType = mmioStringToFOURCC("auds", 0);
    EXPECT_NE(AVIFileCreateStream(file, &source, &audio), AVIERR_OK);
    AVISTREAMINFO noRate = videoHeader(8, 4, 0);
    EXPECT_NE(AVIFileCreateStream(file, &source, &noRate), AVIERR_OK);
    const AVISTREAMINFO header = videoHeader(8, 4, 5);
    ASSERT_EQ(AVIFileCreateStream(file, &source, &header), AVIERR_OK);

    AVICOMPRESSOPTIONS unknown;
    unknown.fccHandler = testing::fourcc("ZZZZ");
    PAVISTREAM compressed = 0;
    EXPECT_EQ(AVIMakeCompressedStream(&compressed, source, &unknown, nullptr), AVIERR_NOCOMPRESSOR);
    AVICOMPRESSOPTIONS full;
    ASSERT_EQ(AVIMakeCompressedStream(&compressed, source, &full, nullptr), AVIERR_OK);

    std::vector<std::uint8_t> frame(32 * 4, 0);
    EXPECT_NE(AVIStreamWrite(compressed, 0, 1, frame.data(), 96, AVIIF_KEYFRAME, nullptr, nullptr),
              AVIERR_OK);
    EXPECT_EQ(AVIStreamSetFormat(compressed, 0, bitmapInfo(8, 4, 8).data(), 40), AVIERR_BADFORMAT);
    EXPECT_EQ(AVIStreamSetFormat(compressed, 0, bitmapInfo(9, 4, 24).data(), 40), AVIERR_BADFORMAT);
    EXPECT_EQ(AVIStreamSetFormat(compressed, 0, bitmapInfo(8, 4, 24).data(), 39), AVIERR_BADFORMAT);
    // Top-down rows are accepted and turned upright.
    ASSERT_EQ(AVIStreamSetFormat(compressed, 0, bitmapInfo(8, -4, 24).data(), 40), AVIERR_OK);
    EXPECT_NE(AVIStreamSetFormat(compressed, 0, bitmapInfo(8, -4, 24).data(), 40), AVIERR_OK);
    // A sample shorter than one frame would be read beyond its end.
    EXPECT_EQ(AVIStreamWrite(compressed, 0, 1, frame.data(), 95, AVIIF_KEYFRAME, nullptr, nullptr),
              AVIERR_BADSIZE);
    for (std::size_t row = 0; row < 4; ++row) {
        std::fill_n(frame.begin() + static_cast<std::ptrdiff_t>(row * 24), 24,
                    static_cast<std::uint8_t>(row * 60));
    }
    std::int32_t samples = 0;
    std::int32_t bytes = 0;
    ASSERT_EQ(AVIStreamWrite(compressed, 0, 1, frame.data(), 96, AVIIF_KEYFRAME, &samples, &bytes),
              AVIERR_OK);
    EXPECT_EQ(samples, 1);
    EXPECT_EQ(bytes, 96);
    EXPECT_NE(AVIStreamWrite(compressed, 0, 1, frame.data(), 96, AVIIF_KEYFRAME, nullptr, nullptr),
              AVIERR_OK);
    EXPECT_EQ(AVIStreamRelease(source), 1u);  // the compressed stream still holds it
    AVIStreamRelease(compressed);
    AVIFileRelease(file);
    EXPECT_EQ(AVIStreamWrite(compressed, 1, 1, frame.data(), 96, 0, nullptr, nullptr), AVIERR_BADHANDLE);

    const auto movie = decodeMovie(path);
    ASSERT_EQ(movie.frames.size(), 1u);
    EXPECT_EQ(movie.frames[0][0], 0);            // top row first
    EXPECT_EQ(movie.frames[0][3 * 8 * 3], 180);  // bottom row last
}

TEST(AviLibrary, ReleasingTheFileBeforeItsStreamsStillCompletesTheMovie) {
    LibraryUse use;
    ScratchFolder folder;
    const std::string path = folder.file("order.avi");
    AVICOMPRESSOPTIONS options;
    options.fccHandler = findCodec(makeFourcc("MJPG")) != nullptr ? makeFourcc("MJPG") : 0;
    const auto [file, source, compressed, ready] = openMovie(path, 16, 16, 25, options, 32);
    ASSERT_TRUE(ready);
    std::vector<std::uint8_t> frame(16 * 16 * 4, 128);
    for (std::int32_t i = 0; i < 10; ++i) {
        ASSERT_EQ(AVIStreamWrite(compressed, i, 1, frame.data(), static_cast<std::int32_t>(frame.size()),
                                 AVIIF_KEYFRAME, nullptr, nullptr),
                  AVIERR_OK);
    }
    AVIFileRelease(file);
    AVIStreamRelease(compressed);
    AVIStreamRelease(source);
    const auto movie = decodeMovie(path);
    EXPECT_EQ(movie.frames.size(), 10u);
    EXPECT_EQ(movie.rateNum, 25);
}

TEST(AviLibrary, OffersFullFramesFirstAndOnlyInstalledEncoders) {
    const auto codecs = availableCodecs();
    ASSERT_FALSE(codecs.empty());
    EXPECT_STREQ(codecs[0].displayName, "Full Frames (Uncompressed)");
    EXPECT_EQ(codecs[0].fourcc, 0u);
    for (const Codec& codec : codecs) {
        EXPECT_EQ(findCodec(codec.fourcc),
                  &*std::find_if(knownCodecs().begin(), knownCodecs().end(),
                                 [&](const Codec& c) { return c.fourcc == codec.fourcc; }));
        EXPECT_NE(std::string(codec.goodFor), "");
    }
    // Offered exactly when FFmpeg finds the encoder by its name.
    for (const Codec& codec : knownCodecs()) {
        const bool installed =
            codec.encoder[0] == '\0' || avcodec_find_encoder_by_name(codec.encoder) != nullptr;
        EXPECT_EQ(findCodec(codec.fourcc) != nullptr, installed) << codec.displayName;
    }
    EXPECT_EQ(findCodec(makeFourcc("DIB ")), findCodec(0));
    EXPECT_EQ(findCodec(makeFourcc("XVID")), findCodec(makeFourcc("FMP4")));
    EXPECT_EQ(findCodec(makeFourcc("ZZZZ")), nullptr);
}

// Pages whose last one cannot be read: a frame placed right before it faults on any read past its end.
class GuardedBlock {
  public:
    explicit GuardedBlock(std::size_t length) : page_(static_cast<std::size_t>(::sysconf(_SC_PAGESIZE))) {
        const std::size_t pages = (length + page_ - 1) / page_;
        size_ = (pages + 1) * page_;
        void* mapped = ::mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) {
            throw std::bad_alloc();
        }
        base_ = static_cast<std::uint8_t*>(mapped);
        ::mprotect(base_ + pages * page_, page_, PROT_NONE);
        data_ = base_ + pages * page_ - length;
    }
    ~GuardedBlock() { ::munmap(base_, size_); }
    GuardedBlock(const GuardedBlock&) = delete;
    GuardedBlock& operator=(const GuardedBlock&) = delete;
    std::uint8_t* data() const { return data_; }

  private:
    std::size_t page_;
    std::size_t size_ = 0;
    std::uint8_t* base_ = nullptr;
    std::uint8_t* data_ = nullptr;
};

TEST(AviLibrary, NoCompressorReadsPastTheEndOfTheFrameItIsHanded) {
    std::vector<CompressOptions> choices;
    for (const Codec& codec : availableCodecs()) {
        // The copying stream takes JPEG files, never rows.
        if (codec.copiesJpegFiles) {
            continue;
        }
        CompressOptions options;
        options.fccHandler = codec.fourcc;
        choices.push_back(options);
    }
    CompressOptions rated;  // Motion JPEG with a data rate goes through libavcodec
    rated.fccHandler = makeFourcc("MJPG");
    rated.bytesPerSecond = 100000;
    if (findCodec(rated.fccHandler) != nullptr) {
        choices.push_back(rated);
    }
    for (const CompressOptions& options : choices) {
        for (const std::int32_t height : {22, -22}) {
            SCOPED_TRACE(std::to_string(options.fccHandler) + " height " + std::to_string(height));
            LibraryUse use;
            ScratchFolder folder;
            const std::string path = folder.file("edge.avi");
            const auto [file, source, compressed, ready] = openMovie(path, 38, height, 5, options, 24);
            ASSERT_TRUE(ready);
            const std::size_t frameBytes = 116 * 22;  // 114 bytes a row, padded to 116
            GuardedBlock block(frameBytes);
            for (int i = 0; i < 3; ++i) {
                std::memset(block.data(), 40 * i + 20, frameBytes);
                ASSERT_EQ(
                    AVIStreamWrite(compressed, i, 1, block.data(), static_cast<std::int32_t>(frameBytes),
                                   AVIIF_KEYFRAME, nullptr, nullptr),
                    AVIERR_OK);
            }
            AVIStreamRelease(source);
            AVIStreamRelease(compressed);
            AVIFileRelease(file);
            EXPECT_EQ(decodeMovie(path, false).containerFrames, 3);
        }
    }
}

TEST(AviLibrary, AnEncoderOutOfMemoryFailsItsFrameWithTheReasonAndTheMovieGoesOn) {
    LibraryUse use;
    ScratchFolder folder;
    const std::string path = folder.file("short.avi");
    for (const std::uint32_t handler : {0u, makeFourcc("MJPG")}) {
        SCOPED_TRACE(handler);
        CompressOptions options;
        options.fccHandler = handler;
        const auto [file, source, compressed, ready] = openMovie(path, 32, 16, 5, options, 24);
        ASSERT_TRUE(ready);
        const std::vector<std::uint8_t> frame(32 * 3 * 16, 0x5A);
        const auto write = [&, compressed = compressed](std::int32_t position) {
            return AVIStreamWrite(compressed, position, 1, frame.data(),
                                  static_cast<std::int32_t>(frame.size()), AVIIF_KEYFRAME, nullptr, nullptr);
        };
        // Memory runs out on the first frame's way into the movie: that frame fails, the next ones go in.
        failNextAllocationOnThisThread();
        EXPECT_EQ(write(0), AVIERR_MEMORY);
        EXPECT_EQ(AVIStreamErrorText(compressed), "Not enough memory");
        EXPECT_EQ(write(1), AVIERR_OK);
        EXPECT_EQ(AVIStreamErrorText(compressed), "");
        EXPECT_EQ(write(2), AVIERR_OK);
        AVIStreamRelease(source);
        AVIStreamRelease(compressed);
        EXPECT_EQ(AVIFileFinish(file).result, AVIERR_OK);
        AVIFileRelease(file);
        // Frames 1 and 2 are in the movie; the place of frame 0 is left empty, as for any frame skipped.
        const auto movie = decodeMovie(path);
        EXPECT_EQ(movie.containerFrames, 3);
        EXPECT_EQ(movie.frames.size(), 2u);
    }
}

TEST(AviLibrary, TheCopyingStreamTakesOnlyWholeJpegFiles) {
    LibraryUse use;
    ScratchFolder folder;
    std::filesystem::create_directories(folder.path());
    testing::writeJpeg(folder.file("frame.jpg"), 16, 8, 3);
    const std::vector<char> read = testing::fileBytes(folder.file("frame.jpg"));
    const std::vector<std::uint8_t> jpeg(read.begin(), read.end());

    const std::string path = folder.file("copied.avi");
    AVICOMPRESSOPTIONS copying;
    copying.fccHandler = makeFourcc("MJPC");
    const auto [file, source, compressed, ready] = openMovie(path, 16, 8, 5, copying, 24);
    ASSERT_TRUE(ready);

    const std::vector<std::uint8_t> cut(jpeg.begin(), jpeg.end() - 2);
    std::vector<std::uint8_t> noStart = jpeg;  // no start-of-image marker
    noStart[1] = 0;
    for (const std::vector<std::uint8_t>* refused :
         {&cut, static_cast<const std::vector<std::uint8_t>*>(&noStart)}) {
        EXPECT_EQ(
            AVIStreamWrite(compressed, 0, 1, refused->data(), static_cast<std::int32_t>(refused->size()),
                           AVIIF_KEYFRAME, nullptr, nullptr),
            AVIERR_BADFORMAT);
    }
    ASSERT_EQ(AVIStreamWrite(compressed, 0, 1, jpeg.data(), static_cast<std::int32_t>(jpeg.size()),
                             AVIIF_KEYFRAME, nullptr, nullptr),
              AVIERR_OK);
    AVIStreamRelease(compressed);
    AVIStreamRelease(source);
    EXPECT_EQ(AVIFileFinish(file).result, AVIERR_OK);
    AVIFileRelease(file);
    EXPECT_EQ(decodeMovie(path).frames.size(), 1u);
}

}  // namespace
}  // namespace skorva::avi
