#pragma once
// What the AVI libraries of both systems share: the codec dialog's offer for a movie's container (and
// AVISaveOptionsFree and mmioStringToFOURCC of avifile.h, defined beside it).

#include <cstdint>

#include "core/types.h"
#include "platform/avi/container.h"
#include "platform/codec_chooser.h"

namespace skorva::avi {

// Shows the installed codec dialog with the compressors `container` can hold (a line names the ones left
// out), the one `options` names chosen at first. True when the user accepted; then `options` holds the
// choice, for a video stream.
bool chooseCompression(WindowHandle owner, std::uint32_t flags, Container container,
                       CompressOptions& options);

}  // namespace skorva::avi
