#pragma once
// The frame list without a window: the names of a folder's files that match the pattern, in the order
// the window's file list gives them (platform/file_list.h).

#include <string>
#include <vector>

#include "movie/avi_writer_view.h"

namespace skorva {

class FolderFrameList : public FrameListControl {
  public:
    void setPattern(const std::string& pattern) override { pattern_ = pattern; }
    void setPath(const std::string& folder) override;
    std::int32_t listCount() const override { return static_cast<std::int32_t>(names_.size()); }
    void setListIndex(std::int32_t index) override { index_ = index; }
    std::string fileName() const override;
    // The selected entry; -1 before any.
    std::int32_t listIndex() const { return index_; }

  protected:
    const std::vector<std::string>& names() const { return names_; }
    const std::string& pattern() const { return pattern_; }

  private:
    std::string pattern_;
    std::vector<std::string> names_;
    std::int32_t index_ = -1;
};

}  // namespace skorva
