#ifndef MOSQUITTOBROKER_H
#define MOSQUITTOBROKER_H

#include <QProcess>
#include <QString>
#include <QStringList>

// Debian's mosquitto broker, run by a test on a free loopback port with a configuration
// made in the test's folder: its own persistence, and where asked a password file and a
// TLS listener whose certificate, for 127.0.0.1, a CA made here signs. It can be stopped
// and started again on the same port; nothing of it outlives the test.
class MosquittoBroker
{
public:
    struct Setup {
        QString user; // with a password: anonymous clients are refused
        QString password;
        bool tls = false;
    };

    MosquittoBroker(QString folder, Setup setup);
    ~MosquittoBroker();
    MosquittoBroker(const MosquittoBroker &) = delete;
    MosquittoBroker &operator=(const MosquittoBroker &) = delete;

    // Whether Debian's broker, its password tool and openssl are installed.
    static bool available();

    // Listening, or false and why in error.
    bool start(QString &error);
    void stop();

    int port() const { return listenPort; }
    // The CA that signed the broker's certificate, and one that did not.
    QString caFile() const;
    QString strangerCaFile() const;

    // mosquitto_sub's arguments for this broker, with its credentials and CA.
    QStringList clientArguments() const;

private:
    bool prepare(QString &error);

    QString folder;
    Setup setup;
    int listenPort = 0;
    bool prepared = false;
    QProcess broker;
};

#endif
