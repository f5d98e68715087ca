#pragma once
// The platform's modal file dialogs. The request mirrors the record the dialogs take: a filter of
// description and pattern fields separated by NUL and ended by two NULs, a 1-based filter index, the
// proposed file name, the initial folder, the caption, the flags and the default extension.

#include <cstdint>
#include <string>

#include "core/types.h"

namespace skorva {

namespace ofn {
inline constexpr std::uint32_t kReadOnly = 0x1;
inline constexpr std::uint32_t kOverwritePrompt = 0x2;
inline constexpr std::uint32_t kHideReadOnly = 0x4;
inline constexpr std::uint32_t kEnableHook = 0x20;
inline constexpr std::uint32_t kEnableTemplate = 0x40;
inline constexpr std::uint32_t kAllowMultiSelect = 0x200;
inline constexpr std::uint32_t kFileMustExist = 0x1000;
}  // namespace ofn

struct OpenFileName {
    WindowHandle owner = 0;  // 0: no owner
    std::string filter;      // "desc\0pattern\0...\0\0"
    std::int32_t filterIndex = 0;
    std::string file;       // in: proposed name; out: the chosen full path
    std::string fileTitle;  // out: the chosen name without its folder
    std::string initialDir;
    std::string title;
    std::uint32_t flags = 0;
    std::string defExt;
};

enum class FileDialogKind { Open, OpenPreview, Save };

class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    // True when the user accepted; then file, fileTitle, flags and filterIndex hold what was chosen.
    virtual bool run(FileDialogKind kind, OpenFileName& record) = 0;
};

// Chooses a folder. `root` is the folder the tree starts at; only real folders can be accepted.
class FolderBrowser {
  public:
    virtual ~FolderBrowser() = default;
    // The chosen folder's path, or false when the user cancelled.
    virtual bool browse(WindowHandle owner, const std::string& title, const std::string& root,
                        std::string& chosen) = 0;
};

}  // namespace skorva
