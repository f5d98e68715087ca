#pragma once
// A recording of one viewer window. Start names and makes a folder for it below the output folder and
// starts the capture timer; Stop and Pause stop the timer; Reset numbers the frames from 0 again. Each
// tick brings the window into view, grabs its video picture, shows it and stores it as the next numbered
// frame. It works through the main window's view and tells the user what went wrong through its sink;
// every box of a tick opens with the capture timer already stopped, so that no tick's box is stacked on
// another (a modal box keeps the timer's events coming).

#include <cstdint>
#include <optional>
#include <string>

#include "core/message_sink.h"
#include "core/types.h"
#include "recording/discovery.h"
#include "recording/recording_folder.h"
#include "recording/recording_view.h"

namespace skorva {

struct GrabRect;

class Recording {
  public:
    // Both must outlive the recording.
    Recording(RecordingView& view, MessageSink& messages);

    // Starts a recording of the selected entry's window in a new folder; the frame numbers go on.
    void start();
    // Stops the capture timer; the folder and the numbering are kept. Pause does the same.
    void stop();
    // The next frame is 0000000.
    void reset();
    // One frame.
    void tick();

    // The number of the next frame: 0 at load and after Reset.
    std::int32_t frameCounter = 0;
    // The name (not path) of the current recording's folder.
    std::string recordingFolder;

  private:
    // The selected entry; with nothing selected, says so through `messages` and stops the capture timer.
    std::optional<ViewerEntry> selectedEntryOrHalt(MessageSink& messages);
    // The tick's grab of `grab` inside the window's `outer` rectangle and what follows it: the previews,
    // the frame files, the counter.
    void storeFrame(const ViewerEntry& entry, const Rect& outer, const GrabRect& grab, MessageSink& messages);
    // Whatever the recording did to the viewer windows is undone.
    void releaseViewers();
    // Shows why the recording ends, and ends it.
    void stopWith(const Message& message, MessageSink& messages);

    RecordingView& view_;
    MessageSink& messages_;
    // The folder of the current (or last) recording, with the output folder it was made in.
    RecordingFolder folder_;
};

}  // namespace skorva
