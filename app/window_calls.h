#pragma once
// Calls a worker thread makes into the window's thread, where dialogs and message boxes must run: the
// worker waits for each one as it would wait for a modal dialog of its own. Once the window stops taking
// calls (it is going), a call not yet begun is not run and the worker goes on at once; one already
// running is waited for, so that nothing it writes into is gone before it returns.

#include <QObject>
#include <functional>
#include <memory>

namespace skorva {

class WindowCalls {
  public:
    // `window` lives on the window's thread; the calls run in its context.
    explicit WindowCalls(QObject& window);
    ~WindowCalls();
    WindowCalls(const WindowCalls&) = delete;
    WindowCalls& operator=(const WindowCalls&) = delete;

    // From the worker: runs `call` on the window's thread and returns once it has run (true), or at once,
    // without running it, when the window takes no more calls (false); false too when the call threw.
    bool run(const std::function<void()>& call);
    // From the window's thread: no further call is run.
    void close();

  private:
    struct Shared;
    QObject& window_;
    std::shared_ptr<Shared> shared_;
};

}  // namespace skorva
