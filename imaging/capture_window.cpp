#include "imaging/capture_window.h"

#include <cstdint>
#include <utility>

#include "imaging/raised_error.h"
#include "platform/services.h"

namespace skorva {

Picture CaptureWindow(WindowHandle hWndSrc, std::int32_t LeftSrc, std::int32_t TopSrc, std::int32_t WidthSrc,
                      std::int32_t HeightSrc, std::vector<Message>& raised, bool* notRepainted) {
    Desktop& desktop = *services().desktop;
    if (notRepainted != nullptr) {
        *notRepainted = false;
    }
    Picture bitmap;
    try {
        // The window's own pixels where the desktop can read them; the screen's otherwise.
        bitmap = hWndSrc != 0
                     ? desktop.grabWindow(hWndSrc, LeftSrc, TopSrc, WidthSrc, HeightSrc, notRepainted)
                     : desktop.grabScreen(LeftSrc, TopSrc, WidthSrc, HeightSrc);
    } catch (...) {
        raised.push_back(RaisedErrorMessage("CaptureWindow"));
    }
    return CreateBitmapPicture(std::move(bitmap));
}

Picture CreateBitmapPicture(Picture hBmp) noexcept {
    return hBmp;
}

}  // namespace skorva
