#include "platform/thread_priority.h"

#include <windows.h>

namespace skorva {

// Windows threads do not inherit their creator's priority: an encoder's own threads run at normal
// priority. The writer's thread itself goes one step below the window's.
void lowerThisThreadsPriority() {
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}

}  // namespace skorva
