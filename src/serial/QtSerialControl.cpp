#include "QtSerialControl.h"

#include "SerialPlatform.h"
#include "common/KoraError.h"

#include <QEvent>
#include <QSocketNotifier>

#include <utility>

QtSerialControl::QtSerialControl(DeviceMap deviceForPort, QObject* parent)
    : SerialControl(parent), m_deviceForPort(std::move(deviceForPort)), m_port(this)
{
    connect(&m_port, &QSerialPort::readyRead, this, &QtSerialControl::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialControl::onError);
}

QtSerialControl::~QtSerialControl()
{
    m_port.disconnect(this);
    if (m_port.isOpen())
        m_port.close();
}

void QtSerialControl::setCommPort(int port)
{
    if (port < FirstPort || port > LastPort)
        throw KoraError(ErrorNumber::InvalidPortNumber, QStringLiteral("Invalid Port Number"));
    if (m_port.isOpen())
        throw KoraError(ErrorNumber::PortAlreadyOpen, QStringLiteral("Port already open"));
    m_commPort = port;
}

void QtSerialControl::setPortOpen(bool open)
{
    if (!open) {
        if (m_port.isOpen())
            m_port.close();
        return;
    }
    if (m_port.isOpen())
        throw KoraError(ErrorNumber::PortAlreadyOpen, QStringLiteral("Port already open"));
    put([this] { this->open(); });
}

void QtSerialControl::put(const std::function<void()>& body)
{
    // The device can go away inside a put: the port then signals the loss while the put's own
    // call is still failing. The put reports the loss as its failure, once, and no separate
    // loss notification follows.
    m_inPut = true;
    m_lostInPut.clear();
    const auto lostError = [this] {
        return KoraError(ErrorNumber::DeviceLost, std::exchange(m_lostInPut, QString()));
    };
    try {
        body();
    } catch (const KoraError&) {
        m_inPut = false;
        if (!m_lostInPut.isEmpty())
            throw lostError();
        throw;
    }
    m_inPut = false;
    if (!m_lostInPut.isEmpty())
        throw lostError();
}

void QtSerialControl::open()
{
    const QString device = deviceName();
    m_port.setPortName(device);
    if (!m_port.open(QIODevice::ReadOnly)) {
        QString reason;
        int number = ErrorNumber::PortOpenFailed;
        switch (m_port.error()) {
        case QSerialPort::DeviceNotFoundError:
            number = ErrorNumber::PortMissing;
            reason = QStringLiteral("the device does not exist");
            break;
        case QSerialPort::PermissionError:
            reason = SerialPlatform::permissionDenied(device)
                         ? QStringLiteral("permission denied: ") + SerialPlatform::deviceGroup(device) +
                               QStringLiteral(" (add the user to it and log in again)")
                         : QStringLiteral("the device is busy: another program has it open");
            break;
        default:
            reason = m_port.errorString();
            break;
        }
        m_port.clearError();
        throw KoraError(
            number,
            QStringLiteral("Cannot open Com%1 (%2): %3").arg(m_commPort).arg(device, reason));
    }
    m_activationsWithoutData = 0;
    m_hangUpQueued = false;
    // Qt's notifier for the device's input is the port's child, made as it opens.
    for (QSocketNotifier* notifier : m_port.findChildren<QSocketNotifier*>())
        notifier->installEventFilter(this);
    try {
        applyLineSettings(m_line, LineSettings::flowControlFor(m_handshaking));
        applyModemLine(&QSerialPort::setDataTerminalReady, m_dtrEnable, "DTR");
        applyModemLine(&QSerialPort::setRequestToSend, m_rtsEnable, "RTS");
    } catch (const KoraError&) {
        m_port.close();
        throw;
    }
}

void QtSerialControl::failPortError(int number, const QString& what)
{
    const QString reason = m_port.errorString();
    m_port.clearError();
    throw KoraError(number,
                    QStringLiteral("%1 on Com%2: %3").arg(what).arg(m_commPort).arg(reason));
}

void QtSerialControl::applyLineSettings(const LineSettings& line, QSerialPort::FlowControl flow)
{
    if (!m_port.isOpen())
        return;
    if (!m_port.setBaudRate(line.baudRate) || !m_port.setParity(line.parity) ||
        !m_port.setDataBits(line.dataBits) || !m_port.setStopBits(line.stopBits) ||
        !m_port.setFlowControl(flow)) {
        failPortError(ErrorNumber::InvalidSettings, QStringLiteral("Cannot set the line settings"));
    }
}

void QtSerialControl::applyModemLine(bool (QSerialPort::*setter)(bool), bool value,
                                     const char* name)
{
    if (!m_port.isOpen())
        return;
    SerialPlatform::clearSystemError();
    const bool done = (m_port.*setter)(value);
    if (done)
        return;
    const int code = modemLineError(setter == &QSerialPort::setDataTerminalReady, value);
    // The program only receives, so a line it cannot drive loses nothing.
    if (SerialPlatform::lacksModemLines(m_port.error(), code)) {
        m_port.clearError();
        return;
    }
    failPortError(ErrorNumber::InvalidSettings,
                  QStringLiteral("Cannot set %1").arg(QString::fromLatin1(name)));
}

int QtSerialControl::modemLineError(bool dtr, bool value)
{
    return SerialPlatform::modemLineError(m_port, dtr, value);
}

void QtSerialControl::setSettings(const QString& settings)
{
    put([&] {
        const LineSettings line = LineSettings::parse(settings);
        applyLineSettings(line, LineSettings::flowControlFor(m_handshaking));
        m_line = line;
    });
}

void QtSerialControl::setHandshaking(int handshaking)
{
    put([&] {
        const QSerialPort::FlowControl flow = LineSettings::flowControlFor(handshaking);
        applyLineSettings(m_line, flow);
        m_handshaking = handshaking;
    });
}

void QtSerialControl::setDTREnable(bool enable)
{
    put([&] {
        applyModemLine(&QSerialPort::setDataTerminalReady, enable, "DTR");
        m_dtrEnable = enable;
    });
}

void QtSerialControl::setRTSEnable(bool enable)
{
    put([&] {
        applyModemLine(&QSerialPort::setRequestToSend, enable, "RTS");
        m_rtsEnable = enable;
    });
}

void QtSerialControl::setRThreshold(short threshold)
{
    if (threshold < 0)
        throw KoraError(380, QStringLiteral("Invalid property value"));
    m_rThreshold = threshold;
}

void QtSerialControl::setSThreshold(short threshold)
{
    if (threshold < 0)
        throw KoraError(380, QStringLiteral("Invalid property value"));
    m_sThreshold = threshold;
}

QString QtSerialControl::Input()
{
    if (!m_port.isOpen()) {
        throw KoraError(ErrorNumber::PortNotOpen,
                        QStringLiteral("Operation valid only when the port is open"));
    }
    // One character per byte received: the sensor sends ASCII, and any other byte still
    // takes exactly one position. What a notification brings is mostly a line or two, read
    // through a buffer on the stack rather than a byte array of its own.
    char chunk[256];
    if (m_port.bytesAvailable() <= qint64(sizeof chunk)) {
        const qint64 got = m_port.read(chunk, sizeof chunk);
        return got > 0 ? QString::fromLatin1(chunk, got) : QString();
    }
    return QString::fromLatin1(m_port.readAll());
}

// Qt 6.4 reports a read that ends (a hung-up terminal, a removed adapter) as a read error. Later
// versions take it as no data at all: the notifier then fires on every turn of the event loop,
// with neither data nor an error, and the program would spin. Its turns without data are counted
// here, and a hang-up behind them is reported as that read error would be, once the notifier's
// turn is over.
bool QtSerialControl::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::SockAct || ++m_activationsWithoutData < 3 || m_hangUpQueued ||
        !m_port.isOpen() || !SerialPlatform::hungUp(m_port))
        return QObject::eventFilter(watched, event);
    m_hangUpQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (std::exchange(m_hangUpQueued, false) && m_port.isOpen())
                onError(QSerialPort::ReadError);
        },
        Qt::QueuedConnection);
    return true;
}

void QtSerialControl::onReadyRead()
{
    m_activationsWithoutData = 0;
    // Windows announces the last bytes read after the failed restart of reading has been
    // signalled, and the port has been closed for it.
    if (m_rThreshold <= 0 || !m_port.isOpen())
        return;
    m_commEvent = EventReceive;
    raiseOnComm();
}

void QtSerialControl::onError(QSerialPort::SerialPortError error)
{
    if (!m_port.isOpen() || error == QSerialPort::NoError || error == QSerialPort::TimeoutError)
        return;
    // Inside a put the error belongs to the put, which fails with it, unless the device is gone.
    // Outside, the error comes from the port's own reading, which has stopped for good: an
    // unplugged adapter reports a resource error on Linux, and on Windows also a permission or
    // an unknown error; a pseudo-terminal whose far end closed reads end-of-file, a read error.
    // QSerialPort may signal again on every turn of the event loop until the port is closed,
    // so close it now and let the program stay idle.
    // Input that arrived as the port was opened is discarded when its line settings are
    // applied, and the read it announced then finds nothing: the device is still there.
    if (error == QSerialPort::ReadError && !SerialPlatform::hungUp(m_port)) {
        m_port.clearError();
        return;
    }
    if (m_inPut && !SerialPlatform::deviceGone(error))
        return;
    const QString reason = error == QSerialPort::ReadError
                               ? QStringLiteral("the device hung up or was removed")
                               : m_port.errorString();
    const QString description =
        QStringLiteral("Com%1 (%2) was lost: %3").arg(m_commPort).arg(deviceName(), reason);
    m_port.close();
    m_port.clearError();
    if (m_inPut) {
        m_lostInPut = description;
        return;
    }
    emit deviceLost(description);
}
