#include "publisher/brokeraddress.h"

#include <QUrl>

namespace
{

constexpr int MqttPort = 1883;
constexpr int MqttsPort = 8883;

// Characters a topic level given by the user cannot hold: the wildcards, and nothing the
// broker would refuse or a subscriber could not type.
bool usablePrefix(const QString &prefix)
{
    if (prefix.isEmpty() || prefix.startsWith(QLatin1Char('/')) ||
        prefix.endsWith(QLatin1Char('/')) || prefix.contains(QStringLiteral("//")))
        return false;
    for (const QChar c : prefix) {
        if (c == QLatin1Char('+') || c == QLatin1Char('#') || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

} // namespace

std::optional<BrokerAddress> BrokerAddress::parse(const QString &text, QString &error)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts")) ||
        url.host().isEmpty()) {
        error = QStringLiteral("'%1' is no broker address: "
                               "mqtt://[USER@]HOST[:PORT]/TOPIC-PREFIX or mqtts://…")
                    .arg(text);
        return std::nullopt;
    }
    if (!url.password().isEmpty()) {
        error = QStringLiteral("the broker address must not hold a password, which every user "
                               "can read in the process list: give it in "
                               "HEAD_READOUT_MQTT_PASSWORD or --mqtt-password-file");
        return std::nullopt;
    }
    if (url.hasQuery() || url.hasFragment()) {
        error = QStringLiteral("'%1': a broker address has no query or fragment").arg(text);
        return std::nullopt;
    }
    BrokerAddress address;
    address.tls = scheme == QLatin1String("mqtts");
    address.user = url.userName();
    address.host = url.host();
    address.port = url.port(address.tls ? MqttsPort : MqttPort);
    address.prefix = url.path().mid(1);
    if (!usablePrefix(address.prefix)) {
        error = QStringLiteral("'%1' needs a topic prefix after the host, without + # or "
                               "empty levels, e.g. mqtt://broker/plant/bench-3")
                    .arg(text);
        return std::nullopt;
    }
    return address;
}
