#pragma once
// An image control: shows a picture stretched to its own fixed size and keeps a reference to it until
// the next picture replaces it.

#include <QFrame>

#include "core/picture.h"

namespace skorva {

class ImageBox : public QFrame {
    Q_OBJECT
  public:
    explicit ImageBox(QWidget* parent = nullptr);

    void setPicture(const Picture& picture);
    const Picture& picture() const { return picture_; }
    // Repaints at once, without waiting for the event loop.
    void Refresh();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Picture picture_;
};

}  // namespace skorva
