#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class SerialControl;

// Brings the port in force back after a fault without anyone pressing "Set": while the
// port-fault flag is set and the port is closed, it runs the reopen line setup every couple of
// seconds. An unplugged adapter thus resumes its readings soon after it is plugged in again.
class PortRecovery : public QObject {
    Q_OBJECT
public:
    static constexpr int RetryIntervalMs = 2000;
    // A device whose open blocks (a Bluetooth port of a device switched off) holds the program
    // up for seconds on every try: after a try that took over half the interval, the next ones
    // come this many times more seldom, until one fails quickly again.
    static constexpr int SlowOpenBackOff = 15;

    PortRecovery(SerialControl& port, bool& portFault, QObject* parent = nullptr);

    // To be called whenever the flag may have changed: starts retrying while the port is at
    // fault, stops once it is not.
    void update();
    // Whether somebody chose the port in force. Where the stored number is no port, the one in
    // force was not chosen, and it is not retried until a port is chosen with "Set".
    void setPortChosen(bool chosen) { m_portChosen = chosen; }
    // No more tries, whatever the flag says: the program is ending.
    void stop();

    bool isRetrying() const { return m_timer.isActive(); }
    void setRetryInterval(int milliseconds);
    // Whether the tries come more seldom, after one that blocked.
    bool backedOff() const { return m_timer.interval() > m_interval; }

signals:
    void reconnected();
    // A retry failed for a reason the user may have to act on (not merely a missing device);
    // each reason is told once, not on every try.
    void retryFailed(const QString& description);

private:
    void retry();

    SerialControl& m_port;
    bool& m_portFault;
    QTimer m_timer;
    int m_interval = RetryIntervalMs;
    QString m_lastTold;
    bool m_stopped = false;
    bool m_portChosen = true;
};
