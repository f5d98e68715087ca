// Held hidden files on Windows: created new and locked (LockFileEx); one nobody holds is removed through
// the very handle that found it unlocked.

#include "platform/held_beside.h"

#include <cerrno>

#include "platform/held_names.h"
#include "platform/win32/crt_files.h"
#include "platform/win32/system_errors.h"

namespace skorva {
namespace {

// Removes `path` when it is a file no running writer holds; true when it is gone.
bool removeIfAbandoned(const std::string& path) {
    const HANDLE file = win32::openFile(path, GENERIC_READ | GENERIC_WRITE | DELETE, OPEN_EXISTING,
                                        FILE_FLAG_OPEN_REPARSE_POINT);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    win32::FileIdentity identity;
    FILE_DISPOSITION_INFO remove{TRUE};
    const bool removed = win32::identify(file, identity) && win32::plainFileOfOneName(identity) &&
                         win32::lockExclusively(file) &&
                         ::SetFileInformationByHandle(file, FileDispositionInfo, &remove, sizeof remove) != 0;
    ::CloseHandle(file);
    return removed;
}

}  // namespace

int createHeldFileBeside(const std::string& target, std::string& created) {
    int fd = -1;
    const bool claimed = claimHeldName(
        target, created,
        [&fd](const std::string& name) {
            const HANDLE file = win32::openFile(name, GENERIC_READ | GENERIC_WRITE | DELETE, CREATE_NEW,
                                                FILE_ATTRIBUTE_NORMAL);
            if (file == INVALID_HANDLE_VALUE) {
                return false;
            }
            if (!win32::lockExclusively(file)) {
                const int saved = errno;
                FILE_DISPOSITION_INFO remove{TRUE};
                ::SetFileInformationByHandle(file, FileDispositionInfo, &remove, sizeof remove);
                ::CloseHandle(file);
                errno = saved;
                return false;
            }
            fd = win32::adoptHandle(file);
            return fd >= 0;
        },
        removeIfAbandoned);
    return claimed ? fd : -1;
}

// Windows has no unnamed files: writers there work under a held name from the start.
bool linkHeldBeside(int, const std::string&, std::string&) {
    errno = ENOSYS;
    return false;
}

bool linkUnnamed(int, const std::string&) {
    errno = ENOSYS;
    return false;
}

}  // namespace skorva
