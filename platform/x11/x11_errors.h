#pragma once
// The numbers of the errors the X11 desktop raises (PlatformError), one per cause.

namespace skorva::x11 {

enum ErrorNumber : int {
    kConnectionLost = 1101,     // the X server closed the connection or cannot be read from
    kUnsupportedScreen = 1102,  // the root window's pixels are not 32-bit blue, green, red, unused
    kGrabRefused = 1103,        // the server answered GetImage with an error
    kPictureTooLarge = 1104,    // the asked size cannot be held in memory
};

}  // namespace skorva::x11
