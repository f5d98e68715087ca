#include "platform/executable_folder.h"

#include <windows.h>

#include <string>

#include "platform/win32/wide_text.h"

namespace skorva {

std::string executableFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return ".";
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const auto separator = path.find_last_of(L"\\/");
    return win32::narrow(separator == std::wstring::npos ? std::wstring(L".") : path.substr(0, separator));
}

}  // namespace skorva
