#pragma once
// What a JPEG file's frame header declares, read from its markers alone: the coding process, the sample
// precision, the size, the components and their sampling, and the colour transform its APP markers name.
// Enough to tell, before any decoding, whether a file is of the kind every common reader decodes.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace skorva {

struct JpegFrameHeader {
    std::uint8_t process = 0;  // the start-of-frame marker: 0xC0 baseline, 0xC1 extended, 0xC2 progressive...
    int precision = 0;         // bits a sample
    int width = 0;
    int height = 0;
    int components = 0;
    std::array<std::uint8_t, 4> ids{};  // of the first four components
    // Horizontal factor in the high four bits, vertical in the low, each divided by what all components'
    // share: 1x2 for every component samples as 1x1 does (every component at full resolution).
    std::array<std::uint8_t, 4> sampling{};
    int adobeTransform = -1;  // the Adobe marker's colour transform; -1 without one
    bool jfif = false;        // a JFIF marker: the components are YCbCr

    // Grey, or three components of luma and chroma (not RGB, not CMYK or YCCK).
    bool greyOrYCbCr() const;
    // The components and their sampling are the same: one decoder setting serves both.
    bool sameLayout(const JpegFrameHeader& other) const;
};

// The header of the first frame in `jpeg`, which may be only a prefix of the file; nothing when the bytes
// hold no well-formed frame header before the first scan.
std::optional<JpegFrameHeader> readJpegFrameHeader(std::span<const std::uint8_t> jpeg);

// Whether every common reader takes the file as it is: Huffman-coded baseline or extended (not
// progressive, lossless or arithmetic-coded), 8-bit samples, grey or YCbCr.
bool everyReaderDecodes(const JpegFrameHeader& header);

}  // namespace skorva
