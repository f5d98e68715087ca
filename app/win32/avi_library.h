#pragma once
// The AVI file library's start and end for the window. They live apart from the window's code because the
// library's names (OF_WRITE, OF_CREATE) clash with the macros of windows.h.

namespace skorva::win32 {

void initAviLibrary();
void releaseAviLibrary();

}  // namespace skorva::win32
