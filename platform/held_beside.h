#pragma once
// Hidden files beside a target that belong to a running writer: ".skorva-<the target's name,
// hashed>-<n>.tmp", short whatever the target's name is, and locked for as long as the writer holds them
// open. One that no one holds was left by a writer that ended before it finished (killed, say): the next
// writer for the same target finds it under the same name and removes it on the way.

#include <string>

namespace skorva {

// Creates such a file for reading and writing, with the permissions of any file the user creates, never
// through a link, and locks it. Its name goes into `created`; -1 with errno on failure.
int createHeldFileBeside(const std::string& target, std::string& created);

// Gives the open unnamed file `fd` (locked by the caller) such a name; false with errno on failure.
bool linkHeldBeside(int fd, const std::string& target, std::string& linked);

// Links the open unnamed file `fd` at `path` when nothing stands there; false with errno (EEXIST when
// something does).
bool linkUnnamed(int fd, const std::string& path);

}  // namespace skorva
