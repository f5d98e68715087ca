#pragma once
// Where a path's last name starts: after the last separator, which is '/' on Linux (where '\' is a
// character of names) and '/' or '\' (or a drive's ':') on Windows.

#include <string>

namespace skorva {

// The index of the path's last name; path.size() when the path ends in a separator.
std::string::size_type fileNameStart(const std::string& path);

}  // namespace skorva
