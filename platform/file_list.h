#pragma once
// What the file list box shows: the names of a folder's files that match a pattern.

#include <string>
#include <vector>

namespace skorva {

// Names (without the folder) of the regular files in `folder` that match the wildcard `pattern` ("*" and
// "?", letter case ignored as on the platform the recordings come from), in ascending order without
// regard to letter case. Names with a leading dot are listed too: a frame's name may begin with one. A
// folder that cannot be read gives an empty list.
std::vector<std::string> listMatchingFiles(const std::string& folder, const std::string& pattern);

// Ascending, letter case ignored (ASCII); names equal but for case keep a stable byte order.
bool lessIgnoringCase(const std::string& a, const std::string& b);

}  // namespace skorva
