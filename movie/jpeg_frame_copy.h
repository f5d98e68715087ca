#pragma once
// The frames of the copying Motion JPEG entry. A recorded JPEG goes into the movie as it is, with no
// decoding and no second loss of quality, when a check of its markers alone passes: it is whole (its
// end-of-image marker is there), it declares the movie's size, it is of the kind every common reader
// decodes (Huffman-coded baseline or extended, 8-bit, grey or YCbCr) and its components are sampled as the
// movie's first frame's. Any other file is decoded (a damaged one as far as the decoder gets, the rest
// filled in; a larger one at a reduced scale), resized to the movie's size and encoded anew in the first
// frame's layout, so that the movie holds whole JPEGs of one kind and size and plays everywhere. Only a
// file that cannot be decoded at all has no sample.

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/picture.h"
#include "core/status.h"
#include "platform/jpeg/jpeg_decoder.h"
#include "platform/jpeg/jpeg_encoder.h"
#include "platform/jpeg/jpeg_frame_header.h"

namespace skorva {

class JpegFrameCopy {
  public:
    // Frames for a movie of `width` x `height`.
    JpegFrameCopy(std::int32_t width, std::int32_t height);

    // The longest file that may be copied: the largest JPEG of the movie's size and some metadata. A
    // longer one is refused unread.
    std::int64_t largestFile() const { return largestFile_; }

    // Makes the sample of a frame file whose reading gave `read` and, when it succeeded, `file` (which
    // gets back the previous frame's buffer to reuse). A failure, with the reason, when the file can be
    // neither copied nor decoded.
    Status take(const Status& read, std::vector<std::uint8_t>& file);
    // The sample made by the last take(): the file's own bytes, or the frame encoded anew.
    std::span<const std::uint8_t> sample() const;
    // Whether the last sample is the file as it is.
    bool copied() const { return copied_; }

    // The frames encoded anew so far, by why.
    struct EncodedAnew {
        int damaged = 0;    // cut short or damaged: decoded as far as it goes
        int otherSize = 0;  // of another size than the movie
        int otherKind = 0;  // progressive, arithmetic-coded, 12-bit, CMYK or RGB, or sampled otherwise
        int total() const { return damaged + otherSize + otherKind; }
    };
    const EncodedAnew& encodedAnew() const { return anew_; }

    // Whether the frame at hand should be shown: at most kPreviewsPerSecond times a second, and always
    // when `last`, so that the preview ends on the movie's last frame. Decoding every frame for it would
    // cost fifty times the copy.
    bool previewDue(bool last);
    // The frame at hand is on show already, put there by other means: the next preview waits its turn.
    void previewShown();
    // The frame at hand for the preview, a large one at a reduced scale (1/2, 1/4 or 1/8) that keeps it
    // at least 320 pixels wide; a null picture when it cannot be decoded.
    Picture picture();

    static constexpr int kPreviewsPerSecond = 10;

  private:
    enum class Verdict { Copy, Damaged, OtherSize, OtherKind };
    // The check of the markers alone.
    Verdict check();
    // Decodes `file_`, damaged or not, at the movie's size and encodes it anew in the movie's layout;
    // counts it under `why`, or as damaged when the decoder had to make up a part of it.
    Status encodeAnew(Verdict why);

    std::int32_t width_;
    std::int32_t height_;
    std::int64_t largestFile_;
    JpegHeaderReader headers_;
    // The movie's layout: the first frame's components and their sampling, as copied or encoded anew.
    std::optional<JpegFrameHeader> layout_;
    EncodedAnew anew_;
    JpegEncoder encoder_;
    std::vector<std::uint8_t> file_;
    bool copied_ = false;
    Picture decoded_;  // the frame at hand when it was decoded anyway
    bool previewed_ = false;
    std::chrono::steady_clock::time_point lastPreview_;
};

}  // namespace skorva
