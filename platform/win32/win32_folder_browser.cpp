#include "platform/win32/win32_folder_browser.h"

#include <windows.h>

#include <shlobj.h>

#include "platform/win32/wide_text.h"

namespace skorva {

bool Win32FolderBrowser::browse(WindowHandle owner, const std::string& title, const std::string& /*root*/,
                                std::string& chosen) {
    const std::wstring wideTitle = win32::widen(title);
    BROWSEINFOW info{};
    info.hwndOwner = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(owner));
    info.lpszTitle = wideTitle.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE folder = ::SHBrowseForFolderW(&info);
    if (folder == nullptr) {
        return false;
    }
    wchar_t path[MAX_PATH] = {};
    const bool isPath = ::SHGetPathFromIDListW(folder, path) != FALSE;
    ::CoTaskMemFree(folder);
    if (!isPath) {
        return false;
    }
    chosen = win32::narrow(path);
    return true;
}

}  // namespace skorva
