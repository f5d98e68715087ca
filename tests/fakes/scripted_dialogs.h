#pragma once
// File dialogs and a folder browser that answer from a script instead of asking a user. Each keeps the
// requests it was given. Installed for its lifetime.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/services.h"

namespace skorva::testing {

struct FileDialogCall {
    FileDialogKind kind;
    OpenFileName record;  // as the caller filled it
};

// What the user does in one file dialog: nothing set means cancel.
struct FileDialogAnswer {
    std::string file;                         // the chosen full path (or the platform's multi-selection text)
    std::string fileTitle;                    // the chosen name
    std::optional<std::uint32_t> flags;       // the flags returned; unset: those passed in
    std::optional<std::int32_t> filterIndex;  // unset: the one passed in
};

class ScriptedFileDialogs final : public FileDialogs {
  public:
    ScriptedFileDialogs() : scope_(Services{.fileDialogs = this}) {}

    // The answers for the coming dialogs in order; std::nullopt is a cancel, and so is any dialog
    // beyond the script.
    std::vector<std::optional<FileDialogAnswer>> script;
    std::vector<FileDialogCall> calls;

    bool run(FileDialogKind kind, OpenFileName& record) override;

  private:
    ScopedServices scope_;
};

struct BrowseCall {
    WindowHandle owner;
    std::string title;
    std::string root;
};

class ScriptedFolderBrowser final : public FolderBrowser {
  public:
    ScriptedFolderBrowser() : scope_(Services{.folderBrowser = this}) {}

    // The answers for the coming dialogs in order; std::nullopt is a cancel, and so is any dialog
    // beyond the script.
    std::vector<std::optional<std::string>> script;
    std::vector<BrowseCall> calls;
    // Runs while the dialog is "open", before it answers.
    std::function<void()> whileOpen;

    bool browse(WindowHandle owner, const std::string& title, const std::string& root,
                std::string& chosen) override;

  private:
    ScopedServices scope_;
};

}  // namespace skorva::testing
