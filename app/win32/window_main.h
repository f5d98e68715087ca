#pragma once
// The window's side of the Windows program: what runs when skorva.exe is started without a command.

namespace skorva {

// Wires the Win32 services, shows the main window and runs its message loop until it closes; returns the
// program's exit code.
int runWindow();

}  // namespace skorva
