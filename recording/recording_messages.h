#pragma once
// The texts of the recording's message boxes. A window is named by its list entry, quoted and cut to what
// a box can hold, and its handle; sizes are "width x height".

#include <cstdint>
#include <string>

#include "core/message.h"
#include "core/types.h"
#include "recording/capture_geometry.h"

namespace skorva {

// Start, and a tick, with no entry selected.
Message noWebcamChosen();
// Start could not make or hold the recording folder `output`/`name`.
Message folderNotMade(const std::string& output, const std::string& name, const std::string& reason);
// The viewer's frames would be larger than a movie holds.
Message frameTooLarge(const std::string& entryText, WindowHandle window, const Rect& outer,
                      const GrabRect& grab);
// The memory for a frame ran out.
Message noMemoryForFrame(const std::string& entryText, WindowHandle window, const Rect& outer);
// Making the frame failed for another reason, `what`.
Message frameNotMade(const std::string& entryText, WindowHandle window, const Rect& outer,
                     const std::string& what);
// The grab gave no picture: the viewer is closed or too small.
Message noPicture(const std::string& entryText, WindowHandle window);
// The frame's bitmap file could not be written; `error` is the errno.
Message bitmapNotSaved(const std::string& path, const std::string& reason);
// The last seven-digit frame number has been written.
Message lastFrameNumberReached(std::int32_t lastFrame);
// A recording that keeps its own time left out `count` frames whose time a slow frame had taken.
Message leftOutLateFrames(std::int64_t count);

}  // namespace skorva
