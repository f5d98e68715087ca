#include "dialogs/folder_chooser.h"

#include "dialogs/special_folders.h"
#include "platform/services.h"

namespace skorva {
namespace {

constexpr std::uint32_t kReturnOnlyFsDirs = 1;
// The dialog's caption.
constexpr const char* kBrowseTitle = "Browse";
// The top of the folder tree, where the browser starts.
constexpr const char* kBrowseRoot = "/";

}  // namespace

std::int32_t GetSpecialFolderID(std::int16_t choice) {
    if (choice < 2) {
        return 0;
    }
    if (choice <= 11) {
        return choice;
    }
    // The identifiers 12 to 15 are skipped.
    return static_cast<std::int32_t>(choice) + 4;
}

std::uint32_t GetBrowseFlags() {
    return kReturnOnlyFsDirs;
}

void opendir_Click(FolderChooserView& view) {
    const WindowHandle owner = view.ownerHandle();
    // Whatever reads the output folder while the dialog is open sees it empty.
    view.setOutputFolder({});
    std::string chosen;
    if (!services().folderBrowser->browse(owner, kBrowseTitle, kBrowseRoot, chosen)) {
        // A cancel does not bring back the folder shown before the click: it gives the folder of start.
        view.setOutputFolder(defaultOutputFolder());
        return;
    }
    view.setOutputFolder(chosen.substr(0, chosen.find('\0')));
}

}  // namespace skorva
