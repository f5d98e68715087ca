#include "tests/fakes/scripted_dialogs.h"

namespace skorva::testing {

bool ScriptedFileDialogs::run(FileDialogKind kind, OpenFileName& record) {
    const std::size_t turn = calls.size();
    calls.push_back({kind, record});
    if (turn >= script.size() || !script[turn]) {
        return false;
    }
    const FileDialogAnswer& answer = *script[turn];
    record.file = answer.file;
    record.fileTitle = answer.fileTitle;
    if (answer.flags) {
        record.flags = *answer.flags;
    }
    if (answer.filterIndex) {
        record.filterIndex = *answer.filterIndex;
    }
    return true;
}

bool ScriptedFolderBrowser::browse(WindowHandle owner, const std::string& title, const std::string& root,
                                   std::string& chosen) {
    const std::size_t turn = calls.size();
    calls.push_back({owner, title, root});
    if (whileOpen) {
        whileOpen();
    }
    if (turn >= script.size() || !script[turn]) {
        return false;
    }
    chosen = *script[turn];
    return true;
}

}  // namespace skorva::testing
