#pragma once

#include "MqttClient.h"

#include <mosquitto.h>

#include <atomic>
#include <mutex>

// libmosquitto's error in words, errno's where it says so.
QString mqttErrorText(int result);

// The libmosquitto handle, shared with the thread that connects: whichever of the two ends last
// frees it, so that a program that ends while a connect still waits does not wait for it.
struct MqttClient::Handle {
    mosquitto* mosq = nullptr;
    // Called back from the event loop only; none once it has gone.
    MqttClient* owner = nullptr;
    // Set by the connecting thread once it is done; read by the event loop's poll.
    std::atomic<bool> connectDone{false};
    int connectResult = MOSQ_ERR_SUCCESS;
    int connectErrno = 0;
    // libmosquitto says why a TLS handshake failed only in its log, from either thread.
    std::mutex errorMutex;
    QString lastError;
    QString takeLastError()
    {
        const std::lock_guard lock(errorMutex);
        return std::exchange(lastError, {});
    }
    ~Handle()
    {
        if (mosq)
            mosquitto_destroy(mosq);
    }
    // Makes the libmosquitto handle as the options say: the client id, will, login and TLS,
    // with callbacks to the owner.
    void setUp(const MqttClient::Options& options, MqttClient* owner);
};
