#include "MqttHandle.h"

#include <cerrno>
#include <cstring>

namespace {
// libmosquitto keeps global state (its TLS and socket libraries) that is set up once.
void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}
} // namespace

QString mqttErrorText(int result)
{
    // libmosquitto 2.0 has no words for these.
    if (result == MOSQ_ERR_KEEPALIVE)
        return QStringLiteral("the broker did not answer within the keep-alive time");
    if (result == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(strerror(errno));
    return QString::fromUtf8(mosquitto_strerror(result));
}

void MqttClient::Handle::setUp(const MqttClient::Options& options, MqttClient* owner)
{
    initLibrary();
    const QByteArray id = options.clientId.toUtf8();
    this->owner = owner;
    mosq = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), true, this);
    mosquitto_int_option(mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(mosq, [](mosquitto*, void* handle, int code) {
        if (MqttClient* owner = static_cast<Handle*>(handle)->owner)
            owner->onConnack(code);
    });
    mosquitto_message_callback_set(
        mosq, [](mosquitto*, void* handle, const mosquitto_message* message) {
            if (MqttClient* owner = static_cast<Handle*>(handle)->owner)
                owner->onMessage(QString::fromUtf8(message->topic),
                                 QByteArray(static_cast<const char*>(message->payload),
                                            message->payloadlen),
                                 message->retain);
        });
    mosquitto_log_callback_set(mosq,
                               [](mosquitto*, void* data, int level, const char* text) {
                                   if (level != MOSQ_LOG_ERR)
                                       return;
                                   auto* handle = static_cast<Handle*>(data);
                                   const std::lock_guard lock(handle->errorMutex);
                                   // The first of OpenSSL's errors is the one that says why.
                                   if (handle->lastError.isEmpty())
                                       handle->lastError = QString::fromUtf8(text);
                               });
    if (!options.willTopic.isEmpty()) {
        const QByteArray topic = options.willTopic.toUtf8();
        mosquitto_will_set(mosq, topic.constData(), int(options.willPayload.size()),
                           options.willPayload.constData(), 1, true);
    }
    if (!options.user.isEmpty()) {
        const QByteArray user = options.user.toUtf8();
        const QByteArray password = options.password.toUtf8();
        mosquitto_username_pw_set(mosq, user.constData(),
                                  options.password.isEmpty() ? nullptr : password.constData());
    }
    if (options.tls) {
        const QByteArray caFile = options.caFile.toLocal8Bit();
        // Without a file of its own, the system's certificate authorities.
        if (caFile.isEmpty())
            mosquitto_tls_set(mosq, nullptr, "/etc/ssl/certs", nullptr, nullptr, nullptr);
        else
            mosquitto_tls_set(mosq, caFile.constData(), nullptr, nullptr, nullptr,
                              nullptr);
    }
}
