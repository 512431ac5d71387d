#include "MqttClient.h"

#include "MqttHandle.h"

#include <algorithm>
#include <cstring>
#include <thread>

MqttClient::MqttClient(Options options, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_handle(std::make_shared<Handle>())
{
    m_handle->setUp(m_options, this);
    m_housekeeping.setInterval(1000);
    connect(&m_housekeeping, &QTimer::timeout, this, [this] {
        if (m_connecting) {
            if (m_handle->connectDone.load()) {
                const int result = m_handle->connectResult;
                onConnectDone(result, result == MOSQ_ERR_ERRNO
                                          ? QString::fromLocal8Bit(strerror(m_handle->connectErrno))
                                          : mqttErrorText(result));
            }
            return;
        }
        if (!m_readNotifier)
            return;
        const int result = mosquitto_loop_misc(m_handle->mosq);
        if (result != MOSQ_ERR_SUCCESS)
            failed(result, mqttErrorText(result));
        else
            updateWriteWatch();
    });
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &MqttClient::connectNow);
}

MqttClient::~MqttClient()
{
    // The connecting thread, if any, keeps the handle and frees it when it is done; it calls
    // nothing back. Otherwise nothing may call back here from now on.
    m_handle->owner = nullptr;
    if (m_connecting)
        return;
    unwatchSocket(true);
}

void MqttClient::start()
{
    connectNow();
}

void MqttClient::connectNow()
{
    if (m_stopped || m_connecting)
        return;
    unwatchSocket();
    m_connecting = true;
    m_handle->connectDone = false;
    m_handle->takeLastError();
    // The connect resolves the broker's name and waits for its TCP handshake (and TLS's): off the
    // event loop. Nothing else touches the handle until it is done.
    std::thread([handle = m_handle, host = m_options.host.toUtf8(), port = m_options.port,
                 keepAlive = m_options.keepAliveSeconds] {
        errno = 0;
        handle->connectResult = mosquitto_connect(handle->mosq, host.constData(), port, keepAlive);
        handle->connectErrno = errno;
        handle->connectDone = true;
    }).detach();
    // Looked at often while connecting, once a second for the keep-alive afterwards.
    m_housekeeping.start(50);
}

void MqttClient::onConnectDone(int result, const QString& reason)
{
    m_connecting = false;
    m_housekeeping.start(1000);
    if (result != MOSQ_ERR_SUCCESS) {
        failed(result, reason);
        return;
    }
    // Connected at TCP level; the broker's answer (CONNACK) comes through the socket.
    watchSocket();
    updateWriteWatch();
}

void MqttClient::onConnack(int code)
{
    if (code != 0) {
        // A refused login or client id: tried again, but no sooner than the longest delay.
        m_retryMs = LastRetryMs;
        lost(QString::fromUtf8(mosquitto_connack_string(code)));
        return;
    }
    m_connected = true;
    m_connectedFor.start();
    m_toldUnreachable = false;
    // Subscribed first: what others left retained comes before this client's own replaces it.
    for (const QString& filter : m_subscriptions)
        mosquitto_subscribe(m_handle->mosq, nullptr, filter.toUtf8().constData(), 1);
    for (const auto& [topic, payload] : m_retained)
        send(topic, payload, true);
    updateWriteWatch();
    emit connected();
}

void MqttClient::publish(const QString& topic, const QByteArray& payload, bool retain)
{
    if (retain)
        m_retained[topic] = payload;
    if (!m_connected) {
        if (!retain)
            ++m_dropped;
        return;
    }
    send(topic, payload, retain);
}

void MqttClient::subscribe(const QString& filter)
{
    m_subscriptions.append(filter);
    if (m_connected)
        mosquitto_subscribe(m_handle->mosq, nullptr, filter.toUtf8().constData(), 1);
}

void MqttClient::onMessage(const QString& topic, const QByteArray& payload, bool retained)
{
    emit received(topic, payload, retained);
}

void MqttClient::send(const QString& topic, const QByteArray& payload, bool retain)
{
    const QByteArray name = topic.toUtf8();
    const int result = mosquitto_publish(m_handle->mosq, nullptr, name.constData(),
                                         int(payload.size()), payload.constData(), 1, retain);
    if (result != MOSQ_ERR_SUCCESS) {
        if (!retain)
            ++m_dropped;
        // Refused by the library itself, not for want of a connection: it would be again.
        else if (result != MOSQ_ERR_NO_CONN && !m_refusedTopics.contains(topic)) {
            m_refusedTopics.append(topic);
            emit refused(topic, mqttErrorText(result));
        }
        return;
    }
    updateWriteWatch();
}

void MqttClient::stop(const QByteArray& lastWords)
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_retryTimer.stop();
    if (m_connected && !m_options.willTopic.isEmpty()) {
        send(m_options.willTopic, lastWords, true);
        // What is queued goes out before the goodbye, as far as the socket takes it now.
        for (int i = 0; i < 10 && mosquitto_want_write(m_handle->mosq); ++i)
            mosquitto_loop_write(m_handle->mosq, 1);
        mosquitto_disconnect(m_handle->mosq);
        mosquitto_loop_write(m_handle->mosq, 1);
    }
    m_connected = false;
    unwatchSocket(true);
    m_housekeeping.stop();
}

void MqttClient::serviceSocket(bool read, bool write)
{
    const int result = read ? mosquitto_loop_read(m_handle->mosq, 1)
                            : (write ? mosquitto_loop_write(m_handle->mosq, 1) : MOSQ_ERR_SUCCESS);
    // A connection closed by the broker, or refused above, leaves no socket to watch.
    if (result != MOSQ_ERR_SUCCESS) {
        if (!m_retryTimer.isActive())
            failed(result, mqttErrorText(result));
        return;
    }
    updateWriteWatch();
}

void MqttClient::failed(int result, QString reason)
{
    // The TLS handshake ends in the connect or, where it waits for the broker, on the socket.
    if (const QString detail = m_handle->takeLastError(); !detail.isEmpty())
        reason += QStringLiteral(" (%1)").arg(detail);
    // A broker whose certificate is not trusted will not be trusted a second later either.
    if (result == MOSQ_ERR_TLS)
        m_retryMs = LastRetryMs;
    lost(reason);
}

void MqttClient::lost(const QString& reason)
{
    const bool wasConnected = std::exchange(m_connected, false);
    // Only a connection that stayed up was a good one: one dropped at once keeps the delay.
    if (wasConnected && m_connectedFor.isValid() && m_connectedFor.elapsed() >= m_stableMs)
        m_retryMs = FirstRetryMs;
    unwatchSocket();
    if (m_stopped)
        return;
    if (wasConnected || !m_toldUnreachable) {
        m_toldUnreachable = true;
        emit unreachable(reason);
    }
    scheduleRetry();
}

void MqttClient::scheduleRetry()
{
    m_retryTimer.start(m_retryMs);
    m_retryMs = std::min(m_retryMs * 2, LastRetryMs);
}

void MqttClient::watchSocket()
{
    const int fd = mosquitto_socket(m_handle->mosq);
    if (fd < 0)
        return;
    m_readNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this,
            [this] { serviceSocket(true, false); });
    m_writeNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier.get(), &QSocketNotifier::activated, this,
            [this] { serviceSocket(false, true); });
}

void MqttClient::unwatchSocket(bool now)
{
    // A connection lost while a notifier tells of its socket: the notifier goes once its signal
    // has returned.
    for (std::unique_ptr<QSocketNotifier>* notifier : {&m_readNotifier, &m_writeNotifier}) {
        if (!*notifier)
            continue;
        (*notifier)->setEnabled(false);
        if (now)
            notifier->reset();
        else
            notifier->release()->deleteLater();
    }
    if (!m_connecting)
        mosquitto_disconnect(m_handle->mosq);
}

void MqttClient::updateWriteWatch()
{
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(mosquitto_want_write(m_handle->mosq));
}
