#pragma once
// Large frames are encoded on a side thread while the writer's thread keeps calling the movie's sample
// callback, so that a window writing a movie paints while one frame takes a tenth of a second or more
// (H.264 at 1920x1080). The call still returns only once the frame is in the movie, with its result, and
// the callback only ever runs on the writer's thread: every few milliseconds while the frame is encoded,
// and once after. Frames below 1280x720 are encoded where they are: handing one over would cost more than
// the wait it saves.

#include <cstdint>
#include <memory>

#include "core/side_thread.h"
#include "core/status.h"
#include "platform/avi/frame_encoder.h"

namespace skorva::avi {

class EncodeAside {
  public:
    Status encode(FrameEncoder& encoder, const std::uint8_t* rows, std::int64_t position, bool keyFrame,
                  Movie& movie, std::int64_t pixels);

  private:
    std::unique_ptr<SideThread> side_;
};

}  // namespace skorva::avi
