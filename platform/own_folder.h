#pragma once
// A recording's folder, made (or found) below the output folder and held by this process: a lock that
// another running copy of the program sees, and the system drops when the process ends however it ends.

#include <string>

#include "platform/file_io.h"

namespace skorva {

enum class OwnFolder {
    Held,          // ours, and now held through `lock`
    Foreign,       // someone else's (another user's, open to others, a link) or held by another recording
    FileInTheWay,  // a file of that name; `reason` says so
    Failed,        // it could not be made; `reason` says why in the system's words
};

// Makes the folder at `path` or finds it, and holds it when it is this user's own and nobody else may
// write into it. Anything else there is someone else's: in a shared output folder anyone may make the
// names of the seconds to come.
OwnFolder holdOwnFolder(const std::string& path, UniqueFd& lock, std::string& reason);

}  // namespace skorva
