#pragma once
// The folder chooser on Windows: the shell's folder browser (SHBrowseForFolderW), file-system folders only.

#include "platform/file_dialogs.h"

namespace skorva {

class Win32FolderBrowser final : public FolderBrowser {
  public:
    // The tree starts at the desktop, the shell's top, whatever `root` says: Windows has no single root.
    bool browse(WindowHandle owner, const std::string& title, const std::string& root,
                std::string& chosen) override;
};

}  // namespace skorva
