#pragma once
// The three jobs of the command line, each given what its options say. They write to standard output what
// a script reads (the list, the folder, the frames) and to standard error what went wrong, in the texts
// of the window's boxes, and return the exit code.

#include <cstdint>
#include <optional>
#include <string>

#include "core/types.h"

namespace skorva {

// Prints one line per viewer window the window would list, in the same order: its handle in hex, a tab,
// its title (control characters as blanks, so that a title stays one line).
int listViewers();

struct RecordOptions {
    std::optional<std::string> title;      // the first listed viewer whose title holds this
    std::optional<WindowHandle> windowId;  // or the listed viewer of this handle
    std::string outputFolder;              // the recording's folder is made below it
    bool bmp = false;
    bool jpg = true;
    bool keepOnTop = true;
    std::optional<std::int64_t> frames;      // end after this many frames
    std::optional<std::int64_t> durationMs;  // or after this long
    std::int32_t intervalMs = 1000;
};

// Records as the window's Start would, until the frames, the duration or SIGINT / SIGTERM end it.
int recordViewer(const RecordOptions& options);

struct WriteMovieOptions {
    std::string folder;
    std::string movie;
    std::string frameRate = "3";  // the text of the window's Frame Rate box
    std::uint32_t fourcc = 0;     // the compressor; 0: full frames
    std::uint32_t quality = 0;    // 0..10000, 0: the codec's default
    std::uint32_t keyFrameEvery = 0;
    std::uint32_t bytesPerSecond = 0;
};

// Writes the movie of the folder's JPEG frames as the window's "Write Avi" would.
int writeMovie(const WriteMovieOptions& options);

}  // namespace skorva
