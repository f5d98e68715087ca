#pragma once

#include "core/picture.h"

namespace skorva {

class Clipboard {
  public:
    virtual ~Clipboard() = default;
    // Hands the picture to the clipboard as a bitmap; false when the clipboard refuses it.
    virtual bool setBitmap(const Picture& picture) = 0;
};

}  // namespace skorva
