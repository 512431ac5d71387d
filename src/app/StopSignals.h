#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>
#include <vector>

// A shutdown, a logout, `kill` (SIGTERM), a closed terminal (SIGHUP) and Ctrl+C (SIGINT) end the
// program as its own exit does: the given step runs on the event loop, where the port can be
// closed, its lock removed and the window's position kept. A signal ignored when the program
// started (nohup) is left ignored. Systems without such signals are left as they are.
class StopSignals {
public:
    explicit StopSignals(std::function<void()> stop);
    ~StopSignals();

    // Holds the signals back from the program's first step on, so that one that comes before
    // the handlers are in place ends the program as cleanly (status 0) once they are: the
    // first thing every start of the program does.
    static void holdUntilHandled();

private:
    std::function<void()> m_stop;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::vector<int> m_caught;
};
