#pragma once
// The TurboJPEG handles moved to the JPEG backend; this name stays while the X11 recording tests' fixture
// still includes it.

#include "platform/jpeg/turbojpeg_handle.h"
