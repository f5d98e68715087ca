#pragma once
// One baseline JPEG from the JPEGs of a picture's two horizontal strips, encoded apart (on two cores)
// with the same settings. The bottom strip's entropy-coded data starts from zero DC predictions, which is
// what a restart marker means: joined behind the top strip's data with a restart marker, and a restart
// interval of the top strip's MCU count, the two scans are one scan of the whole picture. A decoder wants
// a restart marker after every interval but the last, so the bottom strip may not have more MCUs than the
// top one. The blocks are the same as one encode's, since a cut on an MCU row changes no block, so the
// joined JPEG decodes to the same pixels as the whole picture encoded at once.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/status.h"
#include "platform/jpeg/jpeg_encoder.h"

namespace skorva {

// The rows of one MCU: strips must be cut on a multiple of it.
std::int32_t jpegMcuHeight(JpegSubsampling subsampling);

// Whether strips of a picture cut below its first `topRows` rows join: the cut on an MCU row, the bottom
// strip no more MCU rows than the top one, the top strip's MCU count within the 16 bits of the restart
// interval, the height within the frame header's 16 bits.
bool stripsJoinAt(std::int32_t width, std::int32_t height, std::int32_t topRows, JpegSubsampling subsampling);

// Writes the joined JPEG into `joined`; the MCU size is read from the strips' frame headers. Fails, with
// `joined` empty, when either strip is not a baseline JPEG as the encoder writes it, when their headers
// differ in more than the height, when the top strip already has restart markers, or when the strips do
// not join (above).
Status joinJpegStrips(std::span<const std::uint8_t> top, std::span<const std::uint8_t> bottom,
                      std::vector<std::uint8_t>& joined);

}  // namespace skorva
