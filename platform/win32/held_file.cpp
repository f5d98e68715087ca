// The held scratch file on Windows: opened without following links, locked with LockFileEx, and checked
// by its file index against what the name names now.

#include "platform/held_file.h"

#include <cerrno>
#include <cstring>

#include "platform/file_placement.h"
#include "platform/win32/crt_files.h"
#include "platform/win32/system_errors.h"
#include "platform/win32/wide_text.h"

namespace skorva {
namespace {

// Another program may replace the name between our steps; after this many tries it is a failure.
constexpr int kAttempts = 8;

// Puts a new empty file of our own in place of whatever stands at `path`.
bool replaceWithEmptyFile(const std::string& path) {
    std::string created;
    UniqueFd file(createFileBeside(path, created));
    if (!file) {
        return false;
    }
    file.close();
    if (!::MoveFileExW(win32::widen(created).c_str(), win32::widen(path).c_str(),
                       MOVEFILE_REPLACE_EXISTING)) {
        const int saved = win32::errnoOf(::GetLastError());
        ::DeleteFileW(win32::widen(created).c_str());
        errno = saved;
        return false;
    }
    return true;
}

// What the name names now, without following a link.
bool identifyByName(const std::string& path, win32::FileIdentity& identity) {
    const HANDLE named = win32::openFile(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING,
                                         FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS);
    if (named == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool known = win32::identify(named, identity);
    ::CloseHandle(named);
    return known;
}

}  // namespace

HeldFile::Result HeldFile::hold(const std::string& path) {
    path_ = path;
    failure_.clear();
    errno = 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        win32::FileIdentity standing;
        if (identifyByName(path, standing) && !win32::plainFileOfOneName(standing) &&
            !replaceWithEmptyFile(path)) {
            break;
        }
        const HANDLE file = win32::openFile(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT);
        if (file == INVALID_HANDLE_VALUE) {
            break;
        }
        UniqueFd held(win32::adoptHandle(file));
        win32::FileIdentity opened;
        if (!held || !win32::identify(file, opened)) {
            break;
        }
        if (!win32::plainFileOfOneName(opened)) {
            continue;  // a link took the name since it was looked at
        }
        if (const std::optional<Result> kept = keepLocked(std::move(held))) {
            if (*kept != Result::Failed) {
                return *kept;
            }
            break;
        }
    }
    failure_ = std::strerror(errno != 0 ? errno : EBUSY);
    return Result::Failed;
}

bool HeldFile::stillNamed() const {
    win32::FileIdentity held;
    win32::FileIdentity named;
    return win32::identify(win32::handleOf(fd_.get()), held) && identifyByName(path_, named) &&
           held == named && win32::plainFileOfOneName(named);
}

}  // namespace skorva
