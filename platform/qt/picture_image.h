#pragma once
// Shows a picture through Qt without copying its pixels: the QImage holds a reference to them.

#include <QImage>

#include "core/picture.h"

namespace skorva {

QImage toQImage(const Picture& picture);

}  // namespace skorva
