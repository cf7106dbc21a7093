#ifndef BROKERADDRESS_H
#define BROKERADDRESS_H

#include <QString>

#include <optional>

// Where the readings go: mqtt://[USER@]HOST[:PORT]/TOPIC-PREFIX, or mqtts:// for TLS.
struct BrokerAddress {
    bool tls = false;
    QString user; // empty: no user name
    QString host;
    int port = 0;
    QString prefix;

    // Nothing, and why in error, for a text that is no such address.
    static std::optional<BrokerAddress> parse(const QString &text, QString &error);
};

#endif
