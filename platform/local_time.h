#pragma once
// The wall-clock time in the user's time zone, as the recording's folder name wants it.

#include <ctime>

namespace skorva {

std::tm localTimeNow();

}  // namespace skorva
