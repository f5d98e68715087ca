#pragma once
// Captures every message box instead of showing it: installed as the message boxes for its lifetime, and a
// sink that can be handed to whatever takes one.

#include <string>
#include <vector>

#include "core/message_sink.h"
#include "platform/services.h"

namespace skorva::testing {

struct RecordedMessage {
    std::string text;
    MessageIcon icon;
};

class MessageRecorder final : public MessageBoxes, public MessageSink {
  public:
    MessageRecorder() : scope_(Services{.messages = this}) {}
    void show(const std::string& text, MessageIcon icon) override { messages.push_back({text, icon}); }
    void show(const Message& message) override { messages.push_back({message.text, message.icon}); }
    std::vector<std::string> texts() const;

    std::vector<RecordedMessage> messages;

  private:
    ScopedServices scope_;
};

}  // namespace skorva::testing
