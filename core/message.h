#pragma once
// A message for the user: its text and the icon of the box that shows it. Library code hands messages
// back; only the application shows them.

#include <string>

namespace skorva {

enum class MessageIcon { None, Information, Exclamation, Critical };

struct Message {
    std::string text;
    MessageIcon icon = MessageIcon::None;
    friend bool operator==(const Message&, const Message&) = default;
};

}  // namespace skorva
