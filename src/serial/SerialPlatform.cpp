#include "SerialPlatform.h"

#include <QFile>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace SerialPlatform {
// QSerialPort reports a device that another program holds and one the user may not open alike.
bool permissionDenied(const QString& device)
{
#ifdef Q_OS_UNIX
    return ::access(device.toLocal8Bit().constData(), R_OK) != 0;
#else
    Q_UNUSED(device);
    return false;
#endif
}

// Which group the user must join to open the device. Never an empty name: a group without one
// here is given by its number, and a device that is gone again (a link that flickers) is said to
// be so.
QString deviceGroup(const QString& device)
{
#ifdef Q_OS_UNIX
    struct stat status {};
    if (::stat(QFile::encodeName(device).constData(), &status) != 0)
        return QStringLiteral("the device's group cannot be told, as the device has just gone; "
                              "usually it is dialout");
    if (const group* owners = ::getgrgid(status.st_gid))
        return QStringLiteral("the device belongs to the group ") +
               QString::fromLocal8Bit(owners->gr_name);
    return QStringLiteral("the device belongs to the group with the number %1, which has no "
                          "name here")
        .arg(status.st_gid);
#else
    Q_UNUSED(device);
    return QStringLiteral("the device belongs to a group");
#endif
}

// The code the system gave the port's last failing call: errno, or Windows' last error.
void clearSystemError()
{
#ifdef Q_OS_WIN
    ::SetLastError(ERROR_SUCCESS);
#else
    errno = 0;
#endif
}

// Whether a terminal has really gone: its far end closed, or its device removed. A read error
// alone does not say so, since a read that finds nothing is one too.
bool hungUp(QSerialPort& port)
{
#ifdef Q_OS_UNIX
    pollfd device{port.handle(), POLLIN, 0};
    const int ready = ::poll(&device, 1, 0);
    return ready < 0 || (ready == 1 && (device.revents & (POLLHUP | POLLERR | POLLNVAL)));
#else
    Q_UNUSED(port);
    return true;
#endif
}

// An unplugged adapter: a resource error, or a read that ends. On Windows a call on the handle of
// a device that has gone is also refused, which an open handle otherwise never is: the serial
// IOCTLs need no access rights.
bool deviceGone(QSerialPort::SerialPortError error)
{
#ifdef Q_OS_WIN
    if (error == QSerialPort::PermissionError)
        return true;
#endif
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
}

int systemError()
{
#ifdef Q_OS_WIN
    return int(::GetLastError());
#else
    return errno;
#endif
}

bool lacksModemLines(QSerialPort::SerialPortError error, int systemError)
{
    // A device without modem-control lines (a pseudo-terminal, a virtual or Bluetooth port,
    // some adapters) refuses to drive them. The message text is the system's and comes in the
    // user's language, so only the codes are compared.
#ifdef Q_OS_WIN
    if (error != QSerialPort::UnsupportedOperationError && error != QSerialPort::UnknownError)
        return false;
    switch (systemError) {
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
    case ERROR_INVALID_PARAMETER:
        return true;
    default:
        // ERROR_GEN_FAILURE and the like come from a device that stopped working.
        return false;
    }
#else
    return error == QSerialPort::UnsupportedOperationError && systemError == ENOTTY;
#endif
}
int modemLineError(QSerialPort& port, bool dtr, bool value)
{
#ifdef Q_OS_WIN
    // Qt formats its message and signals the error before the code can be read, and either may
    // leave another code behind: ask the device again and read the answer at once.
    const DWORD function = dtr ? (value ? SETDTR : CLRDTR) : (value ? SETRTS : CLRRTS);
    if (port.isOpen() && !::EscapeCommFunction(HANDLE(port.handle()), function))
        return int(::GetLastError());
#else
    Q_UNUSED(port);
    Q_UNUSED(dtr);
    Q_UNUSED(value);
#endif
    return systemError();
}
} // namespace SerialPlatform
