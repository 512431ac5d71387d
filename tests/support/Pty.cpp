#include "Pty.h"

#include <QDeadlineTimer>
#include <QThread>
#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

Pty::Pty()
{
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    cfsetspeed(&raw, B9600);
    if (openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    // A program started by the test must not inherit the controlling end, or closing it here
    // would not hang the terminal up.
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    m_name = QString::fromLocal8Bit(name);
}

Pty::~Pty()
{
    hangUp();
}

bool Pty::write(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

bool Pty::waitUntilRead(int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    // What is written here reaches the device end a moment later, handed over by the kernel's
    // own worker: until then the device end shows nothing waiting, also when the program has not
    // read it yet. A short wait for it to arrive, unless the program takes it at once.
    // Looked at again after each pause, which a busy machine may make much longer.
    const QDeadlineTimer arrival(ArrivalMs);
    for (;;) {
        int waiting = 0;
        if (::ioctl(m_slave, FIONREAD, &waiting) != 0)
            return false;
        if (waiting > 0 || arrival.hasExpired())
            break;
        QThread::usleep(100);
    }
    for (;;) {
        int waiting = 0;
        if (::ioctl(m_slave, FIONREAD, &waiting) != 0)
            return false;
        if (waiting == 0)
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(1);
    }
}

void Pty::hangUp()
{
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
}
