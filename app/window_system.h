#pragma once
// What the window system is told before the application object is made.

namespace skorva {

// The window's paints go to the X server over the connection, not through shared memory: they are small
// (a thumbnail and a frame number every second), and Qt waits for the server to be done with a shared
// segment before it paints again, which cost the capture tick a sixth of its time. A setting the user
// made in the environment stands.
void prepareWindowSystem();

}  // namespace skorva
