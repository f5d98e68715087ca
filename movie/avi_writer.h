#pragma once
// The "Write Avi" button: joins the JPEG frames of the output folder into one movie, an AVI, MP4 or
// Matroska file as its name says. Each frame is decoded into the preview, saved as the temporary bitmap
// "tmp.bmp" in that folder, read back through cDib and written as one key-frame sample, compressed with
// the codec the user chose; the copying Motion JPEG entry writes the JPEG files themselves instead.

#include "core/message_sink.h"
#include "movie/avi_writer_view.h"

namespace skorva {

// Every message for the user goes to `messages`. Runs on whichever thread calls it, from its first step to
// its last; it calls the view, the messages and the dialogs on that thread, and never turns an event loop.
void aviwrite_Click(AviWriterView& view, MessageSink& messages);

}  // namespace skorva
