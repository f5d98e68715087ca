#include "app/file_list_box.h"

#include <QPainter>

#include "platform/file_list.h"

namespace skorva {

FileListBox::FileListBox(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void FileListBox::setPattern(const std::string& pattern) {
    // The pattern it has already lists nothing new: a write sets it before the folder, which lists anyway.
    if (pattern == pattern_) {
        return;
    }
    pattern_ = pattern;
    rebuild();
}

void FileListBox::setPath(const std::string& folder) {
    path_ = folder;
    rebuild();
}

void FileListBox::rebuild() {
    names_ = path_.empty() ? std::vector<std::string>{} : listMatchingFiles(path_, pattern_);
    index_ = -1;
    update();
}

void FileListBox::showListing(const std::string& folder, const std::string& pattern,
                              std::vector<std::string> names) {
    path_ = folder;
    pattern_ = pattern;
    names_ = std::move(names);
    index_ = -1;
    update();
}

std::int32_t FileListBox::listCount() const {
    return static_cast<std::int32_t>(names_.size());
}

void FileListBox::setListIndex(std::int32_t index) {
    index_ = (index >= 0 && index < listCount()) ? index : -1;
    // Painted at the event loop's next turn: only the last of several selections is seen.
    update();
}

std::string FileListBox::fileName() const {
    return index_ >= 0 ? names_[static_cast<std::size_t>(index_)] : std::string();
}

void FileListBox::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (names_.empty()) {
        return;
    }
    // One line shows one entry: the selected one, scrolled into view, or else the first.
    const bool selected = index_ >= 0;
    const auto& name = names_[static_cast<std::size_t>(selected ? index_ : 0)];
    QPainter painter(this);
    const QRect line = contentsRect();
    if (selected) {
        painter.fillRect(line, palette().brush(QPalette::Highlight));
        painter.setPen(palette().color(QPalette::HighlightedText));
    } else {
        painter.setPen(palette().color(QPalette::Text));
    }
    painter.drawText(line.adjusted(2, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     QString::fromStdString(name));
}

}  // namespace skorva
