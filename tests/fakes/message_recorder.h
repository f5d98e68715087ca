#pragma once
// Captures every message box instead of showing it. Installed for its lifetime.

#include <string>
#include <vector>

#include "platform/services.h"

namespace skorva::testing {

struct RecordedMessage {
    std::string text;
    MessageIcon icon;
};

class MessageRecorder final : public MessageBoxes {
  public:
    MessageRecorder() : scope_(Services{.messages = this}) {}
    void show(const std::string& text, MessageIcon icon) override { messages.push_back({text, icon}); }
    std::vector<std::string> texts() const;

    std::vector<RecordedMessage> messages;

  private:
    ScopedServices scope_;
};

}  // namespace skorva::testing
