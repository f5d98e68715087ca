#include "app/win32/avi_library.h"

#include "platform/avi/avifile.h"

namespace skorva::win32 {

void initAviLibrary() {
    avi::AVIFileInit();
}

void releaseAviLibrary() {
    avi::AVIFileExit();
}

}  // namespace skorva::win32
