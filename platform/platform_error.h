#pragma once
// An error raised by a platform service during a step (as opposed to a failure value it returns): the
// caller that catches it shows its own literal followed by the number and the description.

#include <stdexcept>
#include <string>

namespace skorva {

class PlatformError : public std::runtime_error {
  public:
    PlatformError(int number, const std::string& description)
        : std::runtime_error(description), number_(number) {}
    int number() const { return number_; }

  private:
    int number_;
};

}  // namespace skorva
