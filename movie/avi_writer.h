#pragma once
// The "Write Avi" button: joins the JPEG frames of the output folder into one movie, an AVI, MP4 or
// Matroska file as its name says. Each frame is decoded into the preview, saved as the temporary bitmap
// "tmp.bmp" in that folder, read back through cDib and written as one key-frame sample, compressed with
// the codec the user chose; the copying Motion JPEG entry writes the JPEG files themselves instead.

#include <string>

#include "core/message_sink.h"
#include "movie/avi_writer_view.h"

namespace skorva {

// Every message for the user goes to `messages`.
void aviwrite_Click(AviWriterView& view, MessageSink& messages);

// The frame rate typed into the "Frame Rate:" box: the number at the start of the text (blanks, tabs and
// line feeds ignored), rounded half to even and held to 1..30.
int frameRateFromText(const std::string& text);

}  // namespace skorva
