#pragma once
// The folder chooser: the output folder picked in the platform's folder browser. It is the click handler
// of the main window's folder button; the main window is its view.

#include <cstdint>
#include <string>

#include "core/types.h"

namespace skorva {

// What the chooser needs of the main window.
class FolderChooserView {
  public:
    virtual ~FolderChooserView() = default;
    // Sets the text of the output-folder box txtPath.
    virtual void setOutputFolder(const std::string& path) = 0;
    // The main window's handle, owner of the dialog.
    virtual WindowHandle ownerHandle() = 0;
};

// The shell's special-folder identifier for a folder choice number: below 2 the desktop (0), 2 to 11
// the same number, 12 and above the number plus 4.
std::int32_t GetSpecialFolderID(std::int16_t choice);

// The browse flags: only file-system folders can be accepted.
std::uint32_t GetBrowseFlags();

// Lets the user pick the output folder. The box is empty while the dialog is open; a cancel puts the
// folder of start there (defaultOutputFolder), an accepted folder its path as the browser delivers it.
void opendir_Click(FolderChooserView& view);

}  // namespace skorva
