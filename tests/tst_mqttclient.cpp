#include "Broker.h"
#include "station/MqttClient.h"

#include <QSignalSpy>
#include <QtTest>

// The client against Debian's mosquitto: what it keeps for the broker, and how it gets back to it.
class TestMqttClient : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!Broker::available())
            QSKIP("mosquitto and mosquitto_sub are not installed");
    }

    void retainedMessagesOutliveTheBroker()
    {
        Broker broker;
        QVERIFY(broker.start());
        MqttClient client(options(broker.port()));
        QSignalSpy connected(&client, &MqttClient::connected);
        QSignalSpy unreachable(&client, &MqttClient::unreachable);
        client.publish("kora/test/report", R"({"count":300})", true);
        client.publish("kora/test/reading", "early", false);
        client.start();
        QVERIFY(connected.wait(10000));
        QCOMPARE(broker.receive("kora/test/report", 1),
                 QStringList{R"(kora/test/report {"count":300})"});
        // A reading that came while there was no connection is gone, and counted.
        QCOMPARE(client.droppedMessages(), 1);

        // The broker restarts without its store: the station's retained state comes again.
        broker.stop();
        QVERIFY(unreachable.wait(10000));
        QCOMPARE(unreachable.count(), 1);
        QVERIFY(broker.start());
        QVERIFY(connected.wait(10000));
        QCOMPARE(broker.receive("kora/test/report", 1),
                 QStringList{R"(kora/test/report {"count":300})"});
        QCOMPARE(unreachable.count(), 1);
    }

    void willAndLastWords()
    {
        Broker broker;
        QVERIFY(broker.start());
        MqttClient::Options settings = options(broker.port());
        settings.willTopic = "kora/test/status";
        settings.willPayload = "offline";
        MqttClient client(settings);
        QSignalSpy connected(&client, &MqttClient::connected);
        client.start();
        QVERIFY(connected.wait(10000));
        client.publish("kora/test/status", "online", true);
        QCOMPARE(broker.receive("kora/test/status", 1), QStringList{"kora/test/status online"});
        client.stop("offline");
        QCOMPARE(broker.receive("kora/test/status", 1), QStringList{"kora/test/status offline"});
    }

    void brokerAbsentAtStart()
    {
        Broker broker;
        MqttClient client(options(broker.port()));
        QSignalSpy connected(&client, &MqttClient::connected);
        QSignalSpy unreachable(&client, &MqttClient::unreachable);
        client.start();
        QVERIFY(unreachable.wait(10000));
        QVERIFY(!unreachable.first().first().toString().isEmpty());
        QVERIFY(broker.start());
        QVERIFY(connected.wait(20000));
        // Told once for the whole outage, however many tries it took.
        QCOMPARE(unreachable.count(), 1);
        QCOMPARE(client.retryDelayMs(), MqttClient::FirstRetryMs);
    }

    void refusedLoginWaitsLongest()
    {
        Broker broker(QStringLiteral("station"), QStringLiteral("right"));
        QVERIFY(broker.start());
        MqttClient::Options settings = options(broker.port());
        settings.user = "station";
        settings.password = "wrong";
        MqttClient client(settings);
        QSignalSpy unreachable(&client, &MqttClient::unreachable);
        client.start();
        QVERIFY(unreachable.wait(10000));
        QVERIFY(!client.isConnected());
        QCOMPARE(client.retryDelayMs(), MqttClient::LastRetryMs);
    }

private:
    static MqttClient::Options options(int port)
    {
        MqttClient::Options options;
        options.host = QStringLiteral("127.0.0.1");
        options.port = port;
        options.clientId = QStringLiteral("kora-test");
        return options;
    }
};

QTEST_GUILESS_MAIN(TestMqttClient)
#include "tst_mqttclient.moc"
