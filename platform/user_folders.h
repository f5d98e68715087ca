#pragma once
// What the system says about a user's folders: whether the user may make files in one, and where the
// system keeps the user's videos.

#include <string>

namespace skorva {

// True when `folder` is a folder the user may create files in.
bool mayWriteInto(const std::string& folder);

// The user's videos folder as the system itself names it (made when missing), or empty where the system
// names none and the desktop's own settings decide (Linux: the user-dirs file, read in dialogs/).
std::string systemVideosFolder();

}  // namespace skorva
