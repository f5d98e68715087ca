#pragma once
// The clipboard on Qt: a picture goes there as an image.

#include "platform/clipboard.h"

namespace skorva {

class QtClipboard final : public Clipboard {
  public:
    bool setBitmap(const Picture& picture) override;
};

}  // namespace skorva
