// A kept file on Windows: written whole under a dot-name beside it, then moved over the name in one step
// (MoveFileExW replaces what stood there). A kill between the two leaves the dot-file, never a part file.

#include "platform/file_replacement.h"

#include <windows.h>

#include <cerrno>
#include <cstring>

#include "platform/file_io.h"
#include "platform/file_placement.h"
#include "platform/win32/system_errors.h"
#include "platform/win32/wide_text.h"

namespace skorva {

std::string replaceFileContents(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::string temporary;
    UniqueFd file(createFileBeside(path, temporary));
    if (!file) {
        return std::strerror(errno);
    }
    const bool moved = writeAll(file.get(), bytes) && file.close() &&
                       (::MoveFileExW(win32::widen(temporary).c_str(), win32::widen(path).c_str(),
                                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0 ||
                        win32::failed());
    if (moved) {
        return {};
    }
    const std::string reason = std::strerror(errno);
    file.close();
    ::DeleteFileW(win32::widen(temporary).c_str());
    return reason;
}

}  // namespace skorva
