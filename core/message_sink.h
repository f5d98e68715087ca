#pragma once
// Where messages for the user go. The application hands one to the code that may have something to say,
// so that the code need not know how a message is shown, and a test can take them itself.

#include "core/message.h"

namespace skorva {

class MessageSink {
  public:
    virtual ~MessageSink() = default;
    // Returns once the user has read it (a message box is modal).
    virtual void show(const Message& message) = 0;
    // What the user should know of a job that went well: shown like any message, but it tells of no
    // failure.
    virtual void note(const Message& message) { show(message); }
};

}  // namespace skorva
