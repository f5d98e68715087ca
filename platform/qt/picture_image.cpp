#include "platform/qt/picture_image.h"

#include <memory>

namespace skorva {

QImage toQImage(const Picture& picture) {
    if (picture.isEmpty()) {
        return {};
    }
    // The pixels are B, G, R, 0xFF in memory: Qt's RGB32 on a little-endian machine.
    auto* keep = new std::shared_ptr<const void>(picture.keepAlive());
    return QImage(
        picture.bits(), picture.width(), picture.height(), picture.stride(), QImage::Format_RGB32,
        [](void* info) { delete static_cast<std::shared_ptr<const void>*>(info); }, keep);
}

}  // namespace skorva
