#pragma once
// Message boxes on Qt: the text, the icon, one OK button and the application's title as caption,
// modal over the active window.

#include "platform/message_box.h"

namespace skorva {

class QtMessageBoxes final : public MessageBoxes {
  public:
    void show(const std::string& text, MessageIcon icon) override;
};

}  // namespace skorva
