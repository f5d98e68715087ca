// A user's folders on Windows: a test file tells whether one may write in a folder (the access lists
// decide, not mode bits), and the Videos known folder is the system's own.

#include "platform/user_folders.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <string>

#include "platform/win32/wide_text.h"

namespace skorva {

bool mayWriteInto(const std::string& folder) {
    const DWORD attributes = ::GetFileAttributesW(win32::widen(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return false;
    }
    const std::string probe = folder + "/.skorva-write-test-" + std::to_string(::GetCurrentProcessId());
    const HANDLE file = ::CreateFileW(win32::widen(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::CloseHandle(file);
    return true;
}

std::string systemVideosFolder() {
    wchar_t* path = nullptr;
    std::string folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Videos, KF_FLAG_CREATE, nullptr, &path))) {
        folder = win32::narrow(path);
    }
    ::CoTaskMemFree(path);
    return folder;
}

}  // namespace skorva
