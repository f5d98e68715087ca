#pragma once
// Finding the webcam-viewer windows: every top-level window whose title contains "Webcam for".

#include <string>
#include <vector>

#include "core/types.h"

namespace skorva {

// A list entry: the window's whole title and its handle.
struct ViewerEntry {
    std::string text;
    WindowHandle window = 0;
};

// The viewer windows open now, in the order the desktop lists its top-level windows. The title test is
// exact and case-sensitive, anywhere in the title; windows without a title are left out.
std::vector<ViewerEntry> findViewerWindows();

}  // namespace skorva
