#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

namespace skorva {
namespace {

// Nice 5: about a third of the weight of the window's thread when both want a processor.
constexpr int kSteps = 5;

}  // namespace

void lowerThisThreadsPriority() {
    // On Linux the nice value is each thread's own, and a new thread takes its creator's.
    const auto thread = static_cast<id_t>(::gettid());
    errno = 0;
    const int now = ::getpriority(PRIO_PROCESS, thread);
    if (errno == 0) {
        ::setpriority(PRIO_PROCESS, thread, now + kSteps);
    }
}

}  // namespace skorva
