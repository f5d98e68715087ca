#include "platform/x11/screen_grab.h"

#include "platform/platform_error.h"
#include "platform/x11/x11_errors.h"

namespace skorva::x11 {

Picture ScreenGrabber::grab(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) {
    // A screen that changed size between its last event and the GetImage refuses the rectangle: ask
    // the server for its size and clip again, once.
    try {
        return reader_.read(connection_.root(), connection_.screenWidth(), connection_.screenHeight(), left,
                            top, width, height);
    } catch (const PlatformError& error) {
        if (error.number() != kGrabRefused) {
            throw;
        }
    }
    connection_.refreshScreenSize();
    return reader_.read(connection_.root(), connection_.screenWidth(), connection_.screenHeight(), left, top,
                        width, height);
}

}  // namespace skorva::x11
