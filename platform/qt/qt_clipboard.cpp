#include "platform/qt/qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

#include "platform/qt/picture_image.h"

namespace skorva {

bool QtClipboard::setBitmap(const Picture& picture) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (picture.isEmpty() || clipboard == nullptr) {
        return false;
    }
    // The image shares the picture's pixels and keeps them alive for as long as the clipboard holds it.
    clipboard->setImage(toQImage(picture));
    return true;
}

}  // namespace skorva
