#pragma once
// The folder browser on Qt: a modal, non-native folder dialog that accepts only existing folders.

#include "platform/file_dialogs.h"

namespace skorva {

class QtFolderBrowser final : public FolderBrowser {
  public:
    bool browse(WindowHandle owner, const std::string& title, const std::string& root,
                std::string& chosen) override;
};

}  // namespace skorva
