#include "recording/keep_on_top.h"

#include "platform/services.h"

namespace skorva {

void KeepOnTop(WindowHandle hwnd) {
    (void)services().desktop->keepOnTop(hwnd);
}

}  // namespace skorva
