#include "HeadlessApp.h"

#include "common/UnhandledError.h"
#include "serial/PortDevice.h"
#include "station/Log.h"

#include <QCoreApplication>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// Written by the signal handler, read on the event loop: a signal handler may do no more.
int signalSocket[2] = {-1, -1};

void onStopSignal(int)
{
    const char stop = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalSocket[0], &stop, 1);
}
} // namespace
#endif

void LogView::setLabelText(Label label, const QString& text)
{
    m_texts[label] = text;
    if (label == Label::Status)
        Log::line(text);
    else if (label == Label::Humidity && m_readingsToo)
        Log::line(QStringLiteral("reading %1 %2").arg(m_texts.value(Label::Temperature), text));
}

void LogView::showNotice(const QString& shown, const QString& whole)
{
    m_texts[Label::Status] = shown;
    // Both begin with the date and time: the short text, then the rest of the whole one.
    const qsizetype stamp = shown.indexOf(QStringLiteral(" Com")) + 1;
    Log::line(shown + QStringLiteral(": ") + whole.mid(stamp));
}

void LogMessages::plain(const QString& text)
{
    Log::line(text);
}

void LogMessages::exclamation(const QString& text)
{
    Log::line(text);
}

void LogMessages::error(const KoraError& error)
{
    Log::line(errorText(error).replace(QStringLiteral("\n\n"), QStringLiteral(" ")));
}

void LogMessages::portError(const KoraError& error)
{
    LogMessages::error(error);
}

HeadlessApp::HeadlessApp(const QString& reportFolder, bool readingsToo)
    : m_port([this](int n) { return PortDevice::forPort(n, m_settings); }), m_view(readingsToo),
      m_station(m_state, m_settings, m_port, m_clock, m_view, m_messages)
{
    if (!reportFolder.isEmpty())
        m_station.setReportFolder(reportFolder);
    UnhandledError::install([this](const KoraError& error) {
        m_failed = true;
        m_messages.error(error);
        m_station.end();
        QCoreApplication::exit(1);
    });
    stopOnSignals();
}

HeadlessApp::~HeadlessApp()
{
    UnhandledError::install({});
}

bool HeadlessApp::start()
{
    return UnhandledError::guard([this] { m_station.openStoredPort(); }) && !m_failed;
}

void HeadlessApp::stopOnSignals()
{
#ifdef Q_OS_UNIX
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSocket) != 0)
        return;
    m_signalNotifier = std::make_unique<QSocketNotifier>(signalSocket[1], QSocketNotifier::Read);
    QObject::connect(m_signalNotifier.get(), &QSocketNotifier::activated, [this] {
        char stop;
        [[maybe_unused]] const ssize_t read = ::read(signalSocket[1], &stop, 1);
        m_station.end();
        QCoreApplication::exit(0);
    });
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
#endif
}
