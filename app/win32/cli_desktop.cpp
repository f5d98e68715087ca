// The command line's desktop on Windows: the interactive desktop, always there.

#include "app/cli_output.h"
#include "platform/win32/win32_desktop.h"

namespace skorva {

std::unique_ptr<Desktop> connectDesktop() {
    return makeWin32Desktop();
}

}  // namespace skorva
