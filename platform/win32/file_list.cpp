// A folder's files on Windows: FindFirstFileExW, matched as the system's shell matches a wildcard.

#include "platform/file_list.h"

#include <windows.h>

#include <shlwapi.h>

#include <algorithm>

#include "platform/win32/wide_text.h"

namespace skorva {

std::vector<std::string> listMatchingFiles(const std::string& folder, const std::string& pattern) {
    std::vector<std::string> names;
    const std::wstring search = win32::widen((folder.empty() ? std::string(".") : folder) + "/*");
    WIN32_FIND_DATAW found{};
    const HANDLE find =
        ::FindFirstFileExW(search.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        return names;
    }
    const std::wstring wildcard = win32::widen(pattern);
    do {
        // Files only: no folders, and no links, whose target may be anything.
        if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
            continue;
        }
        if (::PathMatchSpecW(found.cFileName, wildcard.c_str())) {
            names.push_back(win32::narrow(found.cFileName));
        }
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
    std::sort(names.begin(), names.end(), lessIgnoringCase);
    return names;
}

}  // namespace skorva
