#pragma once
// A clipboard that keeps what it is given. Installed for its lifetime.

#include <vector>

#include "platform/services.h"

namespace skorva::testing {

class FakeClipboard final : public Clipboard {
  public:
    FakeClipboard() : scope_(Services{.clipboard = this}) {}
    bool setBitmap(const Picture& picture) override;

    // When false, the clipboard refuses every bitmap.
    bool accepts = true;
    std::vector<Picture> bitmaps;

  private:
    ScopedServices scope_;
};

}  // namespace skorva::testing
