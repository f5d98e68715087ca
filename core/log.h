#pragma once
// The one log: what the user is not shown but whoever runs the program from a terminal may want to know
// (a slower path taken, a backend missing), one line each on standard error with the component that says
// it: "skorva: x11: Continuing without shared memory."

#include <string_view>

namespace skorva {

void logLine(std::string_view component, std::string_view text);

}  // namespace skorva
