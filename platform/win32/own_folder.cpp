// A recording's folder on Windows: made with CreateDirectoryW, and held through a hidden lock file beside
// it (not in it: the folder holds the frames alone) that nobody else may open while it is open and that
// goes when its handle closes, with the process however it ends. Who else may write there is the folder's
// access list, inherited from the output folder: Windows has no owner-and-mode check to make here.

#include "platform/own_folder.h"

#include <cerrno>
#include <cstring>

#include "platform/path_names.h"
#include "platform/win32/crt_files.h"
#include "platform/win32/system_errors.h"
#include "platform/win32/wide_text.h"

namespace skorva {

OwnFolder holdOwnFolder(const std::string& path, UniqueFd& lock, std::string& reason) {
    const std::wstring wide = win32::widen(path);
    if (!::CreateDirectoryW(wide.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
        reason = std::strerror(win32::errnoOf(::GetLastError()));
        return OwnFolder::Failed;
    }
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        // Gone again since, or a link: someone else is at work on this name.
        return OwnFolder::Foreign;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        reason = "a file of that name is in the way";
        return OwnFolder::FileInTheWay;
    }
    const auto nameStart = fileNameStart(path);
    const std::string lockPath = path.substr(0, nameStart) + "." + path.substr(nameStart) + ".skorva-lock";
    const HANDLE held =
        ::CreateFileW(win32::widen(lockPath).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        // Held by another recording; a folder where no lock can be made records unguarded.
        return ::GetLastError() == ERROR_SHARING_VIOLATION ? OwnFolder::Foreign : OwnFolder::Held;
    }
    lock = UniqueFd(win32::adoptHandle(held));
    return OwnFolder::Held;
}

}  // namespace skorva
