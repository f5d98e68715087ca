#pragma once
// A one-line list of a folder's file names that match a pattern. It takes no input: it shows the
// selected name (or the first one) and moves when the program selects another entry.

#include <QFrame>
#include <string>
#include <vector>

#include "movie/avi_writer_view.h"

namespace skorva {

class FileListBox : public QFrame, public FrameListControl {
    Q_OBJECT
  public:
    explicit FileListBox(QWidget* parent = nullptr);

    void setPattern(const std::string& pattern) override;
    void setPath(const std::string& folder) override;
    std::int32_t listCount() const override;
    void setListIndex(std::int32_t index) override;
    std::string fileName() const override;
    // The list as another thread built it from `folder` with `pattern`: shown without listing the folder
    // again.
    void showListing(const std::string& folder, const std::string& pattern, std::vector<std::string> names);

    const std::string& Pattern() const { return pattern_; }
    const std::string& Path() const { return path_; }
    std::int32_t ListIndex() const { return index_; }
    const std::vector<std::string>& names() const { return names_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void rebuild();

    std::string pattern_ = "*.*";
    std::string path_;
    std::vector<std::string> names_;
    std::int32_t index_ = -1;
};

}  // namespace skorva
