#pragma once
// Every message the user must read goes through MsgBox: one OK button, the application's title as
// caption. The installed MessageBoxes service shows it; tests install a recorder.

#include <string>
#include <string_view>

#include "core/message.h"

namespace skorva {

inline constexpr std::string_view kAppTitle = "Skorva webcam capture";

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // Modal: returns when the user has closed the box.
    virtual void show(const std::string& text, MessageIcon icon) = 0;
};

void MsgBox(std::string_view text, MessageIcon icon = MessageIcon::None);

}  // namespace skorva
