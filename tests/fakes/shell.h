#pragma once
// A shell command run for a test, the way a user would run it (ffmpeg, ffprobe).

#include <string>

namespace skorva::testing {

// What the command prints on its standard output and standard error.
std::string runCommand(const std::string& command);

}  // namespace skorva::testing
