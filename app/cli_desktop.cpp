// The command line's desktop on Linux: the X server that DISPLAY names.

#include <cstdlib>

#include "app/cli_output.h"
#include "platform/x11/x11_desktop.h"

namespace skorva {

std::unique_ptr<Desktop> connectDesktop() {
    std::unique_ptr<Desktop> desktop = makeX11Desktop();
    if (!desktop) {
        const char* display = std::getenv("DISPLAY");
        sayError(display == nullptr || *display == '\0'
                     ? std::string("no X display answers: DISPLAY is not set")
                     : "no X display answers at DISPLAY=" + std::string(display));
    }
    return desktop;
}

}  // namespace skorva
