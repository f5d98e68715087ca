#pragma once
// The grabber's routines catch whatever a step raises, show it and go on with the next step. The box text
// is the routine's literal directly followed by the error's number and description.

#include <exception>
#include <string>
#include <string_view>

namespace skorva {

// Number and description of an error raised during a step: a PlatformError carries its own; running out
// of memory is 7 "Out of memory"; anything else is 5 with its own description.
struct RaisedError {
    int number = 0;
    std::string description;
};
RaisedError describeRaised(const std::exception_ptr& error);

// Shows literal + number + description for the exception being handled. Call it from a catch block.
void ShowRaisedError(std::string_view literal);

}  // namespace skorva
