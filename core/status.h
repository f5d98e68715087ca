#pragma once
// The one way library code reports how a step went: success, or what went wrong as a message the user can
// be shown, in the system's or the library's own words where it has them.

#include <optional>
#include <string>
#include <utility>

#include "core/message.h"

namespace skorva {

class [[nodiscard]] Status {
  public:
    // Success.
    Status() = default;
    static Status failure(std::string text, MessageIcon icon = MessageIcon::None) {
        Status status;
        status.failure_ = Message{std::move(text), icon};
        return status;
    }

    bool ok() const { return !failure_; }
    explicit operator bool() const { return ok(); }
    // Valid only when not ok().
    const Message& message() const { return *failure_; }
    const std::string& text() const { return failure_->text; }

  private:
    std::optional<Message> failure_;
};

}  // namespace skorva
