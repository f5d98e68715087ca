#include "tests/fakes/fake_clipboard.h"

namespace skorva::testing {

bool FakeClipboard::setBitmap(const Picture& picture) {
    if (!accepts) {
        return false;
    }
    bitmaps.push_back(picture);
    return true;
}

}  // namespace skorva::testing
