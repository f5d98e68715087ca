#pragma once
// Message boxes on Windows: MessageBoxW with the application's title as caption, owned by the main window
// and kept above every other window, so that a viewer kept on top cannot hide a box.

#include <windows.h>

#include "platform/message_box.h"

namespace skorva {

class Win32MessageBoxes final : public MessageBoxes {
  public:
    // `owner` may be null (no owner) and may be set later, once the window exists.
    explicit Win32MessageBoxes(HWND owner = nullptr) : owner_(owner) {}
    void setOwner(HWND owner) { owner_ = owner; }
    void show(const std::string& text, MessageIcon icon) override;

  private:
    HWND owner_;
};

}  // namespace skorva
