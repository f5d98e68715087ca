#pragma once
// Long work beside a window runs a little below the window's priority: on a busy machine the window still
// paints and takes Cancel at once, and where nothing else wants the processors the work goes as fast.

namespace skorva {

// Lowers the calling thread's priority a few steps; threads it starts from now on inherit it (an encoder's
// own threads too). Nothing happens where the system refuses.
void lowerThisThreadsPriority();

}  // namespace skorva
