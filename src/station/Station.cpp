#include "Station.h"

#include "MessageBoxes.h"
#include "common/KoraError.h"
#include "common/UnhandledError.h"
#include "common/Version.h"
#include "measurement/MainView.h"
#include "measurement/NumberText.h"
#include "measurement/ProgramState.h"
#include "serial/LineSetup.h"
#include "serial/PortDevice.h"
#include "serial/SerialControl.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QMetaMethod>

#include <algorithm>

#include <utility>

Station::Station(ProgramState& state, SettingsStore& settings, SerialControl& port,
                 const Clock& clock, MainView& view, MessageBoxes& messages,
                 ReportWriter::FileFactory makeReportFile, QObject* parent)
    : QObject(parent), m_state(state), m_settings(settings), m_port(port), m_clock(clock),
      m_view(view), m_messages(messages),
      m_reportWriter(state, view, clock, std::move(makeReportFile)),
      m_conditioning(
          state, view,
          [this](double temperatureF, std::int16_t humidity) {
              m_reportWriter.FileWrite(temperatureF, humidity);
          },
          [this](const BlockSummary& block) { archiveBlock(block); }),
      m_reception(state, view, port, m_conditioning), m_recovery(port, state.portFault)
{
    m_silenceTimer.setSingleShot(true);
    connect(&m_silenceTimer, &QTimer::timeout, this, &Station::checkSilence);
    m_historyTimer.setSingleShot(true);
    connect(&m_historyTimer, &QTimer::timeout, this, &Station::loadHistorySlice);
    m_port.setOnComm([this] { onComm(); });
    connect(&m_port, &SerialControl::deviceLost, this, &Station::onDeviceLost);
    connect(&m_recovery, &PortRecovery::reconnected, this, &Station::onReconnected);
    connect(&m_recovery, &PortRecovery::retryFailed, this, [this](const QString& description) {
        // The reason, not the advice that follows it.
        notice(PortEvent::Failing, description.section(u'\n', 0, 0) + retrying(), false);
    });
}

Station::~Station()
{
    m_port.setOnComm({});
}

void Station::openStoredPort()
{
    archiveEvent(m_clock.now(), PortEvent::Started,
                 QStringLiteral("KORA %1 started").arg(Version::text()));
    m_lastHeard = m_clock.monotonicMs();
    m_silenceTimer.start(m_silenceLimitMs);
    const QString storedPort = m_settings.GetSetting(SettingsKeys::Section, SettingsKeys::CommPort,
                                                     SettingsKeys::CommPortDefault);
    try {
        LineSetup::startup(m_port, storedPort);
        emit portNoticed(PortEvent::Open, portName() + QStringLiteral(" is open"));
    } catch (const KoraError& error) {
        // The program goes on all the same: the port is retried until its device appears, and
        // the user can choose another one. A port that opened but could not be set up is
        // closed, so that each try starts afresh.
        m_state.portFault = true;
        passOver([this] {
            if (m_port.PortOpen())
                m_port.setPortOpen(false);
        });
        // A stored number that is no port (edited by hand) leaves Com1 in force, which nobody
        // chose: it is not retried, and its box stays until the user has read it.
        const bool numberRefused = error.number() == ErrorNumber::InvalidPortNumber ||
                                   error.number() == ErrorNumber::Overflow;
        m_recovery.setPortChosen(!numberRefused);
        m_recovery.update();
        // Told on the status line too, which stays when the box has gone.
        notice(error.number() == ErrorNumber::PortMissing ? PortEvent::Missing
                                                          : PortEvent::Failing,
               error.description() + (numberRefused ? QString() : retrying()));
        const KoraError explained(
            error.number(),
            PortDevice::explainFailure(error.number(), error.description(), m_settings));
        if (numberRefused)
            m_messages.error(explained);
        else
            m_messages.portError(explained);
    }
}

void Station::portChosen()
{
    // A dialog ended by the program's own end (a signal) chose nothing.
    if (m_ended)
        return;
    m_recovery.update();
    if (m_port.PortOpen() && !m_state.portFault) {
        m_lastHeard = m_clock.monotonicMs();
        m_silenceTimer.start(m_silenceLimitMs);
        // The silence was the old port's, or the old sensor's: the status line stops saying it.
        if (std::exchange(m_silent, false))
            notice(PortEvent::Chosen,
                   portName() + QStringLiteral(" was chosen; its readings are awaited"));
    }
}

void Station::end()
{
    if (!std::exchange(m_ended, true))
        archiveEvent(m_clock.now(), PortEvent::Ended, QStringLiteral("KORA ended"));
    m_recovery.stop();
    m_silenceTimer.stop();
    passOver([this] { m_port.setPortOpen(false); });
}

void Station::onComm()
{
    if (m_ended)
        return;
    // The report of a failure waits in a message box, whose event loop would deliver further
    // notifications: take none while a notification is being handled.
    m_ended = true;
    bool tookLine = false;
    // Nothing is reopened behind the report of an error that ends the program.
    m_ended = !UnhandledError::guard([&] { tookLine = m_reception.OnComm(); },
                                     [this] {
                                         m_recovery.stop();
                                         m_silenceTimer.stop();
                                     });
    if (tookLine)
        heard();
}

void Station::heard()
{
    m_lastHeard = m_clock.monotonicMs();
    m_lastReading = m_lastHeard;
    // The numbers the line gave, and only for a page or a broker that listens: a sensor line
    // costs no more than it must.
    if (m_readingListeners > 0)
        emit readingTaken(m_conditioning.lastTemperature(), m_conditioning.lastHumidity());
    if (!m_silent)
        return;
    m_silent = false;
    m_silenceTimer.start(m_silenceLimitMs);
    notice(PortEvent::Back, portName() + QStringLiteral(" sends readings again"));
}

void Station::connectNotify(const QMetaMethod& signal)
{
    if (signal == QMetaMethod::fromSignal(&Station::readingTaken))
        ++m_readingListeners;
}

void Station::disconnectNotify(const QMetaMethod& signal)
{
    // An invalid method: all of them went at once.
    if (!signal.isValid())
        m_readingListeners = 0;
    else if (signal == QMetaMethod::fromSignal(&Station::readingTaken))
        m_readingListeners = std::max(0, m_readingListeners - 1);
}

void Station::checkSilence()
{
    if (m_ended || m_silent)
        return;
    const qint64 now = m_clock.monotonicMs();
    // A closed port is told as lost or missing; its silence counts from when it works again.
    if (!m_port.PortOpen() || m_state.portFault)
        m_lastHeard = now;
    const qint64 quiet = now - m_lastHeard;
    if (quiet < m_silenceLimitMs) {
        m_silenceTimer.start(int(std::min<qint64>(m_silenceLimitMs - quiet, m_silenceLimitMs)));
        return;
    }
    // Told once; the window and the report are left as they are, old: what an old report
    // means is for the beacon software to decide.
    m_silent = true;
    // The wall clock only names the time, as long ago as the monotonic clock says.
    const QString last = m_lastReading >= 0
                             ? QStringLiteral("the last reading came at ") +
                                   ReportWriter::statusStamp(QDateTime::fromMSecsSinceEpoch(
                                       m_clock.msecsSinceEpoch() - (now - m_lastReading)))
                             : QStringLiteral("none came since it was opened");
    notice(PortEvent::Silent,
           portName() +
               QStringLiteral(" is open but has sent no reading for %1 minutes; ")
                   .arg(m_silenceLimitMs / 60000) +
               last);
}

// Nobody may be at the screen when an adapter drops off the bus: the loss is told on the status
// line, and the port comes back by itself, without a box that waits for a click.
void Station::onDeviceLost(const QString& description)
{
    m_state.portFault = true;
    m_reception.deviceLost();
    m_recovery.update();
    notice(PortEvent::Lost, description + retrying());
}

void Station::onReconnected()
{
    // The port that works is the one to open at the next start, also where a failed "Set"
    // chose it: stored as a successful "Set" stores it.
    passOver([this] {
        m_settings.SaveSetting(SettingsKeys::Section, SettingsKeys::CommPort,
                               QString::number(m_port.CommPort()));
    });
    m_lastHeard = m_clock.monotonicMs();
    m_silent = false;
    m_silenceTimer.start(m_silenceLimitMs);
    notice(PortEvent::Back, portName() + QStringLiteral(" is back"));
    m_messages.closePortFaultReports();
}

QString Station::portName() const
{
    return QStringLiteral("Com%1 (%2)").arg(m_port.CommPort()).arg(m_port.deviceName());
}

QString Station::retrying() const
{
    const int interval = PortRecovery::RetryIntervalMs *
                         (m_recovery.backedOff() ? PortRecovery::SlowOpenBackOff : 1);
    return QStringLiteral("; retrying every %1 s").arg(interval / 1000);
}

// The status line is as wide as a report's line: it says what became of the port, and so that
// the readings above it are old; the device and the reason are in the whole text.
void Station::notice(PortEvent what, const QString& whole, bool archive)
{
    const QDateTime now = m_clock.now();
    const QString stamp = ReportWriter::statusStamp(now) + u' ';
    m_view.showNotice(stamp + QStringLiteral("Com%1 ").arg(m_port.CommPort()) + PortEvents::word(what),
                      stamp + whole);
    emit portNoticed(what, stamp + whole);
    // A row that fails is told with the next block's.
    if (archive) {
        archiveEvent(now, what, whole);
        emit archived();
    }
}

void Station::archiveBlock(const BlockSummary& block)
{
    const QDateTime now = m_clock.now();
    const QString problem = m_archive.appendBlock(now, block);
    if (problem.isEmpty()) {
        m_history.append(ArchiveRow{now, true, block, {}, {}});
    } else {
        // The report went out: its status line stays, and says what the archive missed.
        const QString status = m_view.labelText(MainView::Label::Status);
        m_view.showNotice(status + QStringLiteral("; archive not written"),
                          status + QStringLiteral("; archive not written: ") + problem);
    }
    emit archived();
    emit blockDone(block);
}

void Station::archiveEvent(const QDateTime& at, PortEvent event, const QString& detail)
{
    if (m_archive.appendEvent(at, event, detail).isEmpty())
        m_history.append(ArchiveRow{at, false, {}, event, detail});
}

const HistoryModel& Station::history()
{
    // Read a slice at a time between the port's notifications; what is read so far shows
    // meanwhile, and archived() tells when the whole is there.
    if (!m_history.isLoaded() && !m_history.isLoading()) {
        m_history.beginLoad(m_archive.folder(), m_clock.now());
        m_historyTimer.start(0);
    }
    return m_history;
}

void Station::loadHistorySlice()
{
    if (m_history.loadSome(HistorySliceMs))
        emit archived();
    else
        m_historyTimer.start(0);
}

void Station::passOver(const std::function<void()>& step)
{
    try {
        step();
    } catch (const KoraError&) {
    }
}
