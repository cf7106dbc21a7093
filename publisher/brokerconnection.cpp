#include "publisher/brokerconnection.h"

#include <mosquitto.h>

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

namespace
{

// Also how long an answer to the connection request is awaited: a broker that accepts the
// connection and then says nothing is given up on after this.
constexpr int KeepAliveSeconds = 15;
constexpr int LongestPauseSeconds = 30;
constexpr int LoopTimeoutMs = 100;
constexpr int OfflineWaitMs = 2000;
// Enough in flight that a backlog goes out at the loopback's pace, not the round trip's.
constexpr int InFlight = 1000;

const char SystemCaFolder[] = "/etc/ssl/certs";
const char Online[] = "online";
const char Offline[] = "offline";

struct Library {
    Library() { mosquitto_lib_init(); }
    ~Library() { mosquitto_lib_cleanup(); }
    Library(const Library &) = delete;
    Library &operator=(const Library &) = delete;
};

} // namespace

BrokerConnection::BrokerConnection(BrokerAddress address, QString password, QString caFile,
                                   QObject *parent)
    : QObject(parent), broker(std::move(address)), password(std::move(password)),
      caFile(std::move(caFile)), statusTopic((broker.prefix + QStringLiteral("/status")).toUtf8())
{
    static const Library library;
}

BrokerConnection::~BrokerConnection()
{
    stop();
    if (client)
        mosquitto_destroy(client);
}

bool BrokerConnection::start(QString &error)
{
    client = mosquitto_new(nullptr, true, this);
    if (!client) {
        error = QStringLiteral("cannot make an MQTT client: %1")
                    .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    mosquitto_threaded_set(client, true);
    mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_max_inflight_messages_set(client, InFlight);
    mosquitto_connect_callback_set(client, &BrokerConnection::onConnect);
    mosquitto_publish_callback_set(client, &BrokerConnection::onPublish);
    mosquitto_log_callback_set(client, &BrokerConnection::onLog);
    int code = mosquitto_will_set(client, statusTopic.constData(), int(std::strlen(Offline)),
                                  Offline, 1, true);
    if (code == MOSQ_ERR_SUCCESS && !broker.user.isEmpty())
        code =
            mosquitto_username_pw_set(client, broker.user.toUtf8().constData(),
                                      password.isNull() ? nullptr : password.toUtf8().constData());
    if (code == MOSQ_ERR_SUCCESS && broker.tls) {
        if (!caFile.isEmpty() && !QFile(caFile).open(QIODevice::ReadOnly)) {
            error = QStringLiteral("cannot read the CA file %1").arg(caFile);
            return false;
        }
        // The system's authorities by their folder: the library's own option for them is
        // lost on its reconnects.
        const QByteArray file = QFile::encodeName(caFile);
        code = mosquitto_tls_set(client, caFile.isEmpty() ? nullptr : file.constData(),
                                 caFile.isEmpty() ? SystemCaFolder : nullptr, nullptr, nullptr,
                                 nullptr);
    }
    if (code != MOSQ_ERR_SUCCESS) {
        error = QStringLiteral("cannot set up the MQTT client: %1")
                    .arg(QString::fromUtf8(mosquitto_strerror(code)));
        return false;
    }
    session = std::thread(&BrokerConnection::run, this);
    return true;
}

std::optional<int> BrokerConnection::publish(const QByteArray &topic, const QByteArray &payload)
{
    const std::lock_guard<std::mutex> lock(readyMutex);
    if (!ready)
        return std::nullopt;
    int id = 0;
    const int code = mosquitto_publish(client, &id, topic.constData(), int(payload.size()),
                                       payload.constData(), 1, false);
    // A connection lost unnoticed: the library keeps the message, and sends it once connected.
    if (code != MOSQ_ERR_SUCCESS && code != MOSQ_ERR_NO_CONN && code != MOSQ_ERR_CONN_LOST)
        return std::nullopt;
    return id;
}

void BrokerConnection::stop()
{
    if (!session.joinable())
        return;
    stopping = true;
    session.join();
}

void BrokerConnection::run()
{
    const QByteArray host = broker.host.toUtf8();
    bool first = true;
    int pauseSeconds = 1;
    while (!stopping) {
        setLibraryError(QString(), true);
        // Without blocking: a host that does not answer cannot hold up stop().
        int code =
            first ? mosquitto_connect_async(client, host.constData(), broker.port, KeepAliveSeconds)
                  : mosquitto_reconnect_async(client);
        first = false;
        while (!stopping && code == MOSQ_ERR_SUCCESS) {
            code = mosquitto_loop(client, LoopTimeoutMs, 1);
            // The library tells of the acceptance before it sends again what was not
            // acknowledged: new messages only after that, or they would overtake it.
            if (justAccepted.exchange(false) && code == MOSQ_ERR_SUCCESS) {
                setReady(true);
                emit connected();
            }
        }
        setReady(false);
        if (stopping)
            break;
        QString reason = libraryError();
        if (accepted.exchange(false)) {
            pauseSeconds = 1;
            reason = reason.isEmpty() ? QStringLiteral("connection lost")
                                      : QStringLiteral("connection lost: %1").arg(reason);
        } else if (reason.isEmpty()) {
            if (code == MOSQ_ERR_ERRNO)
                reason = QString::fromLocal8Bit(std::strerror(errno));
            // The library has no words of its own for this one.
            else if (code == MOSQ_ERR_KEEPALIVE)
                reason = QStringLiteral("no answer within %1 s").arg(KeepAliveSeconds);
            else
                reason = QString::fromUtf8(mosquitto_strerror(code));
        }
        while (reason.endsWith(QLatin1Char('.')))
            reason.chop(1);
        emit failed(reason);
        if (!pause(pauseSeconds))
            break;
        pauseSeconds = std::min(pauseSeconds * 2, LongestPauseSeconds);
    }
    if (accepted) {
        // The will is for a recorder that vanished; one that ends says so itself.
        int id = 0;
        mosquitto_publish(client, &id, statusTopic.constData(), int(std::strlen(Offline)), Offline,
                          1, true);
        statusId = id;
        const auto until =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(OfflineWaitMs);
        while (!statusAcknowledged && std::chrono::steady_clock::now() < until &&
               mosquitto_loop(client, LoopTimeoutMs, 1) == MOSQ_ERR_SUCCESS) {
        }
        // Queued, not sent, in this threaded use: the loop sends it, and the broker then
        // keeps the will to itself.
        mosquitto_disconnect(client);
        while (std::chrono::steady_clock::now() < until &&
               mosquitto_loop(client, LoopTimeoutMs, 1) == MOSQ_ERR_SUCCESS) {
        }
        accepted = false;
    }
}

bool BrokerConnection::pause(int seconds) const
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!stopping) {
        if (std::chrono::steady_clock::now() >= until)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(LoopTimeoutMs));
    }
    return false;
}

QString BrokerConnection::libraryError() const
{
    const std::lock_guard<std::mutex> lock(errorMutex);
    return lastLibraryError;
}

// The first error of an attempt is the one that says why; what follows only repeats it.
void BrokerConnection::setLibraryError(const QString &text, bool replace)
{
    const std::lock_guard<std::mutex> lock(errorMutex);
    if (replace || lastLibraryError.isEmpty())
        lastLibraryError = text;
}

void BrokerConnection::setReady(bool up)
{
    const std::lock_guard<std::mutex> lock(readyMutex);
    ready = up;
}

void BrokerConnection::onConnect(mosquitto *client, void *self, int code)
{
    auto *connection = static_cast<BrokerConnection *>(self);
    if (code != 0) {
        connection->setLibraryError(QString::fromUtf8(mosquitto_connack_string(code)), true);
        return;
    }
    connection->accepted = true;
    connection->justAccepted = true;
    int id = 0;
    mosquitto_publish(client, &id, connection->statusTopic.constData(), int(std::strlen(Online)),
                      Online, 1, true);
}

void BrokerConnection::onPublish(mosquitto *, void *self, int id)
{
    auto *connection = static_cast<BrokerConnection *>(self);
    if (id == connection->statusId.load()) {
        connection->statusAcknowledged = true;
        return;
    }
    emit connection->acknowledged(id);
}

void BrokerConnection::onLog(mosquitto *, void *self, int level, const char *text)
{
    if (level & MOSQ_LOG_ERR)
        static_cast<BrokerConnection *>(self)->setLibraryError(QString::fromUtf8(text), false);
}
