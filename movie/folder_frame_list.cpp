#include "movie/folder_frame_list.h"

#include "platform/file_list.h"

namespace skorva {

void FolderFrameList::setPath(const std::string& folder) {
    names_ = listMatchingFiles(folder, pattern_);
    index_ = -1;
}

std::string FolderFrameList::fileName() const {
    return index_ >= 0 && index_ < listCount() ? names_[static_cast<std::size_t>(index_)] : std::string();
}

}  // namespace skorva
