#pragma once
// The movie's frame rate as typed into the "Frame Rate:" box.

#include <string>

namespace skorva {

// The number at the start of the text (blanks, tabs and line feeds ignored), rounded half to even and held
// to 1..30.
int frameRateFromText(const std::string& text);

}  // namespace skorva
