#include "StopSignals.h"

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// Written by the signal handler, read on the event loop: a signal handler may do no more.
int signalSocket[2] = {-1, -1};
constexpr int Stopping[] = {SIGTERM, SIGINT, SIGHUP};

// The stop signals as a set, to hold back or let through.
sigset_t stopping()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : Stopping)
        sigaddset(&set, signal);
    return set;
}

void onStopSignal(int)
{
    const char stop = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalSocket[0], &stop, 1);
}
} // namespace
#endif

void StopSignals::holdUntilHandled()
{
#ifdef Q_OS_UNIX
    const sigset_t held = stopping();
    ::sigprocmask(SIG_BLOCK, &held, nullptr);
#endif
}

StopSignals::StopSignals(std::function<void()> stop) : m_stop(std::move(stop))
{
#ifdef Q_OS_UNIX
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSocket) != 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(signalSocket[1], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] {
        char stop;
        [[maybe_unused]] const ssize_t read = ::read(signalSocket[1], &stop, 1);
        m_stop();
    });
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : Stopping) {
        // Ignored by whoever started the program (nohup, a supervisor), a signal stays ignored:
        // the station runs on after the terminal that started it has closed.
        struct sigaction inherited {};
        if (sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN)
            continue;
        if (sigaction(signal, &action, nullptr) == 0)
            m_caught.push_back(signal);
    }
    // One held back since the start is taken now, by the handler.
    const sigset_t held = stopping();
    ::sigprocmask(SIG_UNBLOCK, &held, nullptr);
#endif
}

StopSignals::~StopSignals()
{
#ifdef Q_OS_UNIX
    if (!m_notifier)
        return;
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    for (const int signal : m_caught)
        sigaction(signal, &standard, nullptr);
    m_notifier.reset();
    ::close(signalSocket[0]);
    ::close(signalSocket[1]);
    signalSocket[0] = signalSocket[1] = -1;
#endif
}
