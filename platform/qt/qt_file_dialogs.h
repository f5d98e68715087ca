#pragma once
// The open, open-with-preview and save dialogs on Qt: a non-native QFileDialog that honours the caption,
// filter, filter index, default extension, initial folder, owner and the overwrite question of the
// request.

#include <QStringList>
#include <string>

#include "platform/file_dialogs.h"

namespace skorva {

class QtFileDialogs final : public FileDialogs {
  public:
    bool run(FileDialogKind kind, OpenFileName& record) override;
};

// The request's NUL-separated description/pattern pairs as Qt name filters "desc (pattern ...)"; the
// list ends at the first empty description.
QStringList qtNameFilters(const std::string& filter);

}  // namespace skorva
