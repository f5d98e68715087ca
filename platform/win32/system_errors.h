#pragma once
// Win32 error codes in the program's terms: the platform interfaces report failures through errno (as
// on Linux), and a message shows the system's own words.

#include <string>

namespace skorva::win32 {

// The errno value closest to a Win32 error code (EIO where none is).
int errnoOf(unsigned long error);
// Sets errno from GetLastError() and returns false, for `return failed();` in a bool function.
bool failed();
// Windows' own text for a Win32 error code or HRESULT, without the closing line break.
std::string systemText(unsigned long error);

}  // namespace skorva::win32
