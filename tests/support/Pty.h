#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair: the program under test opens the device end by name, the test writes
// at the controlling end as a sensor would.
class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool isValid() const { return m_master >= 0; }
    QString deviceName() const { return m_name; }
    // One write, as a sensor sends one line.
    bool write(const QByteArray& bytes);
    // Waits until the program at the device end has read everything written.
    bool waitUntilRead(int timeoutMs = 30000) const;
    // Closes the controlling end: to the device end this is an unplugged adapter.
    void hangUp();

private:
    static constexpr int ArrivalMs = 3;
    int m_master = -1;
    int m_slave = -1;
    QString m_name;
};
