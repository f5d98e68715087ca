#pragma once
// Putting a file the user keeps in its place without ever writing through a name that is not ours: the
// bytes go to a new hidden file of our own beside the name, which is renamed to the name at the end.

#include <functional>
#include <string>

#include "platform/file_io.h"

namespace skorva {

// The hidden name "<folder>/.<name>.tmp-XXXXXX" beside `path`, with a random suffix. It never ends in a
// frame extension, so a folder listing of "*.jpg" cannot pick up a half-written frame.
std::string temporaryNameFor(const std::string& path);

// Creates a new file under a hidden name (temporaryNameFor) beside `path` for reading and writing, with
// the permissions of any file the user creates (0666 less the umask), never through a link. Its name goes
// into `created`; -1 with errno on failure.
int createFileBeside(const std::string& path, std::string& created);

// Renames `from` to `to` only when nothing stands at `to`; false with errno (EEXIST when something does).
bool renameWithoutReplacing(const std::string& from, const std::string& to);

// Moves `from` to the first free name "<stem> (<label>)<extension>", "<stem> (<label> 2)<extension>", ...
// beside `target`, the stem cut short where the name would be too long for the file system. The name it
// took, or empty with errno.
std::string moveBeside(const std::string& from, const std::string& target, const std::string& label);

// The same names in turn, each offered to `placeAt`, which puts the file there only when nothing stands
// there (false with errno EEXIST when something does).
std::string placeBeside(const std::string& target, const std::string& label,
                        const std::function<bool(const std::string& candidate)>& placeAt);

}  // namespace skorva
