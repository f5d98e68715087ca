#pragma once
// The movie's container from the save dialog's answer: a name that ends in ".avi", ".mp4" or ".mkv"
// decides; any other name is written in the container of the file type chosen in the dialog.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/avi/container.h"

namespace skorva {

// The save dialog's file types, AVI first and the default.
inline constexpr const char* kMovieFilter = "AVI Files|*.avi|MP4 Files|*.mp4|Matroska Files|*.mkv";

// The container of a movie saved as `chosen`; `filterIndex` is the dialog's answer, counted from 1.
avi::Container movieContainer(const std::string& chosen, std::int32_t filterIndex);

// True when `output` names the temporary bitmap `temporaryName` or one of the `frames` of `folder`: the
// movie would take its place.
bool namesAnInput(const std::string& output, const std::string& folder, const std::string& temporaryName,
                  const std::vector<std::string>& frames);

}  // namespace skorva
