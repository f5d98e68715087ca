#include "platform/termination.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

namespace skorva {
namespace {

std::atomic<bool> requested{false};
int pipeEnds[2] = {-1, -1};

void onTerminationSignal(int signalNumber) {
    if (requested.exchange(true)) {
        // Asked twice: the user means it. What was under way is abandoned, and says so; a movie being
        // written has no name yet, so nothing of it is left.
        static constexpr char kAbandoned[] =
            "skorva: asked again to end: ending at once; a movie being written is abandoned, and nothing "
            "of it is kept\n";
        [[maybe_unused]] const ssize_t said = ::write(2, kAbandoned, sizeof kAbandoned - 1);
        std::signal(signalNumber, SIG_DFL);
        std::raise(signalNumber);
        return;
    }
    const int saved = errno;
    const char wake = 1;
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &wake, 1);
    errno = saved;
}

}  // namespace

void installTerminationHandlers() {
    static_assert(std::atomic<bool>::is_always_lock_free);
    if (pipeEnds[0] < 0 && ::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        pipeEnds[0] = pipeEnds[1] = -1;
    }
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGXFSZ, SIG_IGN);
}

bool terminationRequested() {
    return requested.load();
}

int terminationRequestFd() {
    return pipeEnds[0];
}

void waitForTermination(std::chrono::steady_clock::time_point until) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::nanoseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0 || terminationRequested()) {
            return;
        }
        const timespec timeout{static_cast<time_t>(left.count() / 1'000'000'000),
                               static_cast<long>(left.count() % 1'000'000'000)};
        pollfd request{terminationRequestFd(), POLLIN, 0};
        ::ppoll(&request, 1, &timeout, nullptr);
    }
}

}  // namespace skorva
