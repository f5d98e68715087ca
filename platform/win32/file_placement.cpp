// The file beside a name on Windows: created new under the dot-name (never opened through what stands
// there; not marked hidden, since the mark would go with it to the name it takes), renamed without
// replacing.

#include "platform/file_placement.h"

#include <cerrno>

#include "platform/win32/crt_files.h"
#include "platform/win32/system_errors.h"
#include "platform/win32/wide_text.h"

namespace skorva {
namespace {

constexpr int kCreateAttempts = 16;

}  // namespace

int createFileBeside(const std::string& path, std::string& created) {
    if (path.empty() || path.back() == '/' || path.back() == '\\') {
        errno = ENOENT;
        return -1;
    }
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        const std::string candidate = temporaryNameFor(path);
        const HANDLE handle =
            win32::openFile(candidate, GENERIC_READ | GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
        if (handle != INVALID_HANDLE_VALUE) {
            created = candidate;
            return win32::adoptHandle(handle);
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    return -1;
}

bool renameWithoutReplacing(const std::string& from, const std::string& to) {
    return ::MoveFileExW(win32::widen(from).c_str(), win32::widen(to).c_str(), MOVEFILE_WRITE_THROUGH) != 0 ||
           win32::failed();
}

}  // namespace skorva
