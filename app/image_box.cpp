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
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(contentsRect(), toQImage(picture_));
}

}  // namespace skorva
