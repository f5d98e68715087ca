#pragma once
// What the AVI writer uses of the main window: the two text boxes, the one-line frame list, the preview
// image and the window's handle as the owner of its dialogs.

#include <cstdint>
#include <string>

#include "core/picture.h"
#include "core/types.h"

namespace skorva {

// The file list box beside "Currently encoding:".
class FrameListControl {
  public:
    virtual ~FrameListControl() = default;
    virtual void setPattern(const std::string& pattern) = 0;
    // Builds the list anew from the folder's present content.
    virtual void setPath(const std::string& folder) = 0;
    // 32-bit: a folder may hold any number of frames.
    virtual std::int32_t listCount() const = 0;
    // Selects the entry and scrolls it into view.
    virtual void setListIndex(std::int32_t index) = 0;
    virtual std::string fileName() const = 0;
};

class AviWriterView {
  public:
    virtual ~AviWriterView() = default;
    virtual std::string outputFolder() = 0;     // txtPath
    virtual std::string frameRateText() = 0;    // txtFPS
    virtual FrameListControl& frameList() = 0;  // File1
    // Image1: shows the picture.
    virtual void showPicture(const Picture& picture) = 0;
    // Image1's picture, read back.
    virtual Picture shownPicture() = 0;
    virtual WindowHandle ownerHandle() = 0;
    // The frame loop is about to convert frame `index` (0-based) of `count`: the place to show progress. A
    // stop asked for here is seen before that frame.
    virtual void writingFrame(std::int32_t index, std::int32_t count) = 0;
    // True once the user cancelled the write or the program has been asked to end: the write stops after
    // the frame at hand, finishes the movie with the frames so far and says so.
    virtual bool stopRequested() = 0;
};

}  // namespace skorva
