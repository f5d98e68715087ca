#pragma once
// What the recording uses of the main window: the selected list entry, the output folder, the three check
// boxes, the previews, the two captions it writes, the capture timer and the buttons it switches.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/picture.h"
#include "recording/discovery.h"
#include "recording/recording_names.h"

namespace skorva {

class RecordingView {
  public:
    virtual ~RecordingView() = default;

    // List1's selected entry; nothing when no entry is selected.
    virtual std::optional<ViewerEntry> selectedEntry() = 0;
    // txtPath: the folder below which each recording gets a folder of its own.
    virtual std::string outputFolder() = 0;
    // cbjpg, cbbmp, windowtop: ticked or not.
    virtual bool saveAsJpg() = 0;
    virtual bool saveAsBmp() = 0;
    virtual bool keepWindowOnTop() = 0;

    // Picture1 and Image1 take the frame; Image1 paints it with the event loop. What the window shows is
    // its own business: the frame stored is the picture grabbed.
    virtual void showFrame(const Picture& picture) = 0;
    // Paints Image1 at once.
    virtual void paintPreview() = 0;
    // Whether there is a preview to paint while a frame is encoded. Without one the encoding stays on the
    // tick's own core: handing it to a second costs more than it saves when nothing runs meanwhile.
    virtual bool hasPreview() = 0;
    // Text1: the number of the frame last stored.
    virtual void setFrameCountText(const std::string& text) = 0;
    // Label5: "Small" or "Large".
    virtual void setSizeClassCaption(std::string_view caption) = 0;

    // Timer1, the capture timer.
    virtual void setTimerInterval(std::int32_t milliseconds) = 0;
    virtual void setTimerEnabled(bool enabled) = 0;
    // Start; btstop and pause, which always switch together; reset.
    virtual void setStartEnabled(bool enabled) = 0;
    virtual void setStopEnabled(bool enabled) = 0;
    virtual void setResetEnabled(bool enabled) = 0;

    // The month names and AM/PM designators of the user's locale, for the folder's time stamp.
    virtual LocaleNames localeNames() = 0;
};

}  // namespace skorva
