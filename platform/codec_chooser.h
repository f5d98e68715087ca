#pragma once
// The compression-options dialog of the AVI library: the user picks a compressor and, where asked, the
// key-frame interval and the data rate. The AVI library calls the installed chooser.

#include <cstdint>
#include <string>
#include <vector>

#include "core/types.h"

namespace skorva {

namespace icmf {
inline constexpr std::uint32_t kChooseKeyFrame = 0x1;
inline constexpr std::uint32_t kChooseDataRate = 0x2;
}  // namespace icmf

// The stream type of a video stream: "vids".
inline constexpr std::uint32_t kStreamTypeVideo = 0x73646976;

// What the dialog fills in; the AVI library reads it back when it makes the compressed stream.
struct CompressOptions {
    std::uint32_t fccType = 0;
    std::uint32_t fccHandler = 0;      // the compressor's four-character code; 0 = full frames
    std::uint32_t keyFrameEvery = 0;   // 0 = the codec's default
    std::uint32_t quality = 0;         // 0..10000, 0 = the codec's default
    std::uint32_t bytesPerSecond = 0;  // 0 = no data-rate limit
    std::uint32_t flags = 0;           // AVICOMPRESSF_* bits
};

// A compressor the dialog offers, as the AVI library describes it.
struct OfferedCodec {
    std::uint32_t fourcc = 0;  // 0: full frames, no compressor
    std::string displayName;
    std::string goodFor;      // the line under the list
    bool hasQuality = false;  // the quality slider (and a data rate) apply
    bool intraOnly = false;   // every frame is a key frame anyway: no key-frame interval
};

class CodecChooser {
  public:
    virtual ~CodecChooser() = default;
    // Modal: offers `offered` in that order, the one `options` names chosen at first. True when the user
    // accepted; then `options` holds the choice.
    virtual bool choose(WindowHandle owner, std::uint32_t icmfFlags, const std::vector<OfferedCodec>& offered,
                        CompressOptions& options) = 0;
    // The same, with a line naming the compressors the movie's container cannot hold (empty: none), which
    // a dialog shows; a chooser that shows nothing takes the call above.
    virtual bool choose(WindowHandle owner, std::uint32_t icmfFlags, const std::vector<OfferedCodec>& offered,
                        const std::string& notOffered, CompressOptions& options) {
        static_cast<void>(notOffered);
        return choose(owner, icmfFlags, offered, options);
    }
};

}  // namespace skorva
