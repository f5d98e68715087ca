#include "imaging/capture_window.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

#include "imaging/raised_error.h"
#include "platform/services.h"

namespace skorva {

Picture CaptureWindow(WindowHandle hWndSrc, std::int32_t LeftSrc, std::int32_t TopSrc, std::int32_t WidthSrc,
                      std::int32_t HeightSrc, std::vector<Message>& raised) {
    Desktop& desktop = *services().desktop;
    // The source's origin: the screen's, or the window's outer top-left corner.
    bool haveSource = true;
    std::int64_t left = LeftSrc;
    std::int64_t top = TopSrc;
    if (hWndSrc != 0) {
        try {
            Rect outer;
            haveSource = desktop.windowRect(hWndSrc, outer);
            left += outer.left;
            top += outer.top;
        } catch (...) {
            raised.push_back(RaisedErrorMessage("CaptureWindow"));
            haveSource = false;
        }
    }
    Picture bitmap;
    if (haveSource) {
        try {
            // Far off-screen coordinates only ever grab black; keep them inside 32 bits rather than wrap.
            const auto clampToInt32 = [](std::int64_t v) {
                return static_cast<std::int32_t>(std::clamp<std::int64_t>(
                    v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
            };
            bitmap = desktop.grabScreen(clampToInt32(left), clampToInt32(top), WidthSrc, HeightSrc);
        } catch (...) {
            raised.push_back(RaisedErrorMessage("CaptureWindow"));
        }
    }
    return CreateBitmapPicture(std::move(bitmap));
}

Picture CreateBitmapPicture(Picture hBmp) noexcept {
    return hBmp;
}

}  // namespace skorva
