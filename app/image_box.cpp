#include "app/image_box.h"

#include <QPainter>

#include "platform/qt/picture_image.h"

namespace skorva {

ImageBox::ImageBox(QWidget* parent) : QFrame(parent) {}

void ImageBox::setPicture(const Picture& picture) {
    picture_ = picture;
    update();
}

void ImageBox::Refresh() {
    repaint();
}

void ImageBox::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (picture_.isEmpty()) {
        return;
    }
    // Stretched by picking the nearest pixel, as a stretched image control always drew: the preview is
    // a thumbnail repainted every tick, and filtering a whole frame down to it would cost more than
    // anything else the tick does besides the JPEG encoding.
    QPainter painter(this);
    painter.drawImage(contentsRect(), toQImage(picture_));
}

}  // namespace skorva
