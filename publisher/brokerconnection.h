#ifndef BROKERCONNECTION_H
#define BROKERCONNECTION_H

#include "publisher/brokeraddress.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

struct mosquitto;

// The MQTT session with the broker, kept by a thread of its own: it connects, and after a
// failure or a lost connection connects again after a pause that grows to 30 s, for as long
// as it runs. Messages are handed to the library from the owner's thread while the session
// is up; the library keeps those not yet acknowledged and sends them again, in order, after
// a reconnect, before any new one is taken. What happens is told by signals emitted in the
// session's thread: receivers in the owner's thread get them queued.
class BrokerConnection : public QObject
{
    Q_OBJECT
public:
    BrokerConnection(BrokerAddress address, QString password, QString caFile,
                     QObject *parent = nullptr);
    ~BrokerConnection() override;
    BrokerConnection(const BrokerConnection &) = delete;
    BrokerConnection &operator=(const BrokerConnection &) = delete;

    // Starts the session's thread; false, with the reason in error, where the library
    // refuses the settings (a CA file that cannot be read).
    bool start(QString &error);
    // QoS 1: the message's id, which acknowledged() names once the broker has it; nothing
    // while the session is down or not yet past its reconnect's resending.
    std::optional<int> publish(const QByteArray &topic, const QByteArray &payload);
    // Says offline on the status topic where connected, disconnects and ends the thread.
    void stop();

    const BrokerAddress &address() const { return broker; }

signals:
    void connected();
    void failed(const QString &reason);
    void acknowledged(int id);

private:
    void run();
    bool pause(int seconds) const;
    QString libraryError() const;
    void setLibraryError(const QString &text, bool replace);
    void setReady(bool up);

    static void onConnect(mosquitto *client, void *self, int code);
    static void onPublish(mosquitto *client, void *self, int id);
    static void onLog(mosquitto *client, void *self, int level, const char *text);

    BrokerAddress broker;
    QString password;
    QString caFile;
    QByteArray statusTopic;
    mosquitto *client = nullptr;
    std::thread session;
    std::atomic<bool> stopping{false};
    std::atomic<bool> accepted{false};
    std::atomic<bool> justAccepted{false};
    // Held across a publish: once the session has said it is down, no publish is still
    // under way that could reach the library during the reconnect, ahead of its resending.
    std::mutex readyMutex;
    bool ready = false;
    std::atomic<int> statusId{-1};
    std::atomic<bool> statusAcknowledged{false};
    // The library may log from the owner's thread too, while publishing.
    mutable std::mutex errorMutex;
    QString lastLibraryError;
};

#endif
