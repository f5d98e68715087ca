#pragma once
// The movie's file name from the save dialog's answer: a name that ends in ".avi", ".mp4" or ".mkv"
// keeps it, and with it its container; any other name gets the extension of the file type chosen in the
// dialog.

#include <cstdint>
#include <string>

namespace skorva {

// The save dialog's file types, AVI first and the default.
inline constexpr const char* kMovieFilter = "AVI Files|*.avi|MP4 Files|*.mp4|Matroska Files|*.mkv";

// `chosen` as the movie is written; `filterIndex` is the dialog's answer, counted from 1.
std::string movieFileName(const std::string& chosen, std::int32_t filterIndex);

}  // namespace skorva
