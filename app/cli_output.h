#pragma once
// What the command line says: the window's messages on standard error, one "skorva: " line each.

#include <cstdio>
#include <memory>
#include <string>

#include "core/message_sink.h"
#include "platform/desktop.h"

namespace skorva {

class StandardErrorSink final : public MessageSink {
  public:
    void show(const Message& message) override;
    // Said as any message, but no failure.
    void note(const Message& message) override;
    // Whether anything but a note was said.
    bool said() const { return said_; }

  private:
    bool said_ = false;
};

// Says `text` on standard error as the program's line.
void sayError(const std::string& text);

// A progress line on `stream`: on a terminal one line that rewrites itself, else a line each. A message
// said meanwhile starts on a line of its own.
void progressLine(std::FILE* stream, const std::string& text);
// Ends a progress line left on a terminal.
void endProgress();

// The system's desktop, or nothing, having said plainly why there is none (on Linux: no X display
// answers).
std::unique_ptr<Desktop> connectDesktop();

}  // namespace skorva
