#pragma once
// The grabber's routines catch whatever a step raises and go on with the next step. What they would have
// shown is handed back: the routine's literal directly followed by the error's number and description.

#include <exception>
#include <string>
#include <string_view>

#include "core/message.h"

namespace skorva {

// Number and description of an error raised during a step: a PlatformError carries its own; running out
// of memory is 7 "Out of memory"; anything else is 5 with its own description.
struct RaisedError {
    int number = 0;
    std::string description;
};
RaisedError describeRaised(const std::exception_ptr& error);

// literal + number + description of the exception being handled, for a box with no icon. Call it from a
// catch block.
Message RaisedErrorMessage(std::string_view literal);

}  // namespace skorva
