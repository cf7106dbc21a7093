#include "testsupport/mosquittobroker.h"

#include "testsupport/loopbackaddress.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <utility>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

const QString Broker = QStringLiteral("/usr/sbin/mosquitto");
const QString PasswordTool = QStringLiteral("/usr/bin/mosquitto_passwd");
const QString OpenSsl = QStringLiteral("/usr/bin/openssl");
constexpr int StartLimitMs = 10000;

// A loopback port nothing listens on now.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopbackAddress(0);
    socklen_t size = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), size) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool listening(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = loopbackAddress(port);
    const bool up =
        ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return up;
}

bool run(const QString &program, const QStringList &arguments, const QString &folder,
         QString &error)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
        process.exitCode() == 0)
        return true;
    error = program + QStringLiteral(" failed: ") +
            QString::fromLocal8Bit(process.readAllStandardError());
    return false;
}

} // namespace

MosquittoBroker::MosquittoBroker(QString folder, Setup setup)
    : folder(std::move(folder)), setup(std::move(setup))
{
}

MosquittoBroker::~MosquittoBroker()
{
    stop();
}

bool MosquittoBroker::available()
{
    return QFile::exists(Broker) && QFile::exists(PasswordTool) && QFile::exists(OpenSsl);
}

QString MosquittoBroker::caFile() const
{
    return folder + QStringLiteral("/ca.pem");
}

QString MosquittoBroker::strangerCaFile() const
{
    return folder + QStringLiteral("/stranger-ca.pem");
}

bool MosquittoBroker::prepare(QString &error)
{
    listenPort = freePort();
    QDir(folder).mkpath(QStringLiteral("persistence"));
    QByteArray config = "listener " + QByteArray::number(listenPort) + " 127.0.0.1\n" +
                        "persistence true\npersistence_location " + QFile::encodeName(folder) +
                        "/persistence/\nlog_dest stderr\n";
    // Started by root it would become the user mosquitto, who cannot read the test's folder.
    if (const passwd *user = ::getpwuid(::getuid()))
        config += "user " + QByteArray(user->pw_name) + '\n';
    if (setup.user.isEmpty()) {
        config += "allow_anonymous true\n";
    } else {
        config +=
            "allow_anonymous false\npassword_file " + QFile::encodeName(folder) + "/passwords\n";
        if (!run(PasswordTool,
                 {QStringLiteral("-b"), QStringLiteral("-c"), QStringLiteral("passwords"),
                  setup.user, setup.password},
                 folder, error))
            return false;
    }
    if (setup.tls) {
        const QString subject = QStringLiteral("/CN=");
        const QList<QStringList> steps = {
            {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
             QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
             QStringLiteral("2"), QStringLiteral("-subj"), subject + QStringLiteral("test CA"),
             QStringLiteral("-keyout"), QStringLiteral("ca.key"), QStringLiteral("-out"),
             QStringLiteral("ca.pem")},
            {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
             QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
             QStringLiteral("2"), QStringLiteral("-subj"), subject + QStringLiteral("stranger"),
             QStringLiteral("-keyout"), QStringLiteral("stranger-ca.key"), QStringLiteral("-out"),
             QStringLiteral("stranger-ca.pem")},
            {QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
             QStringLiteral("-nodes"), QStringLiteral("-subj"),
             subject + QStringLiteral("127.0.0.1"), QStringLiteral("-keyout"),
             QStringLiteral("server.key"), QStringLiteral("-out"), QStringLiteral("server.csr")},
            {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
             QStringLiteral("server.csr"), QStringLiteral("-CA"), QStringLiteral("ca.pem"),
             QStringLiteral("-CAkey"), QStringLiteral("ca.key"), QStringLiteral("-CAcreateserial"),
             QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"),
             QStringLiteral("server.ext"), QStringLiteral("-out"), QStringLiteral("server.pem")},
        };
        QFile extensions(folder + QStringLiteral("/server.ext"));
        if (!extensions.open(QIODevice::WriteOnly) ||
            extensions.write("subjectAltName=IP:127.0.0.1\n") < 0)
            return false;
        extensions.close();
        for (const QStringList &step : steps) {
            if (!run(OpenSsl, step, folder, error))
                return false;
        }
        const QByteArray at = QFile::encodeName(folder);
        config += "cafile " + at + "/ca.pem\ncertfile " + at + "/server.pem\nkeyfile " + at +
                  "/server.key\n";
    }
    QFile file(folder + QStringLiteral("/mosquitto.conf"));
    if (!file.open(QIODevice::WriteOnly) || file.write(config) != config.size())
        return false;
    prepared = true;
    return true;
}

bool MosquittoBroker::start(QString &error)
{
    if (!prepared && !prepare(error))
        return false;
    broker.setStandardOutputFile(QProcess::nullDevice());
    broker.setStandardErrorFile(folder + QStringLiteral("/broker.log"), QIODevice::Append);
    broker.start(Broker, {QStringLiteral("-c"), folder + QStringLiteral("/mosquitto.conf")});
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < StartLimitMs) {
        if (broker.state() != QProcess::Running && !broker.waitForStarted(100))
            break;
        if (listening(listenPort))
            return true;
        QThread::msleep(20);
    }
    QFile log(folder + QStringLiteral("/broker.log"));
    log.open(QIODevice::ReadOnly);
    error = QStringLiteral("mosquitto did not listen on %1: %2")
                .arg(listenPort)
                .arg(QString::fromLocal8Bit(log.readAll()));
    return false;
}

void MosquittoBroker::stop()
{
    if (broker.state() == QProcess::NotRunning)
        return;
    broker.terminate();
    if (!broker.waitForFinished(5000)) {
        broker.kill();
        broker.waitForFinished(5000);
    }
}

QStringList MosquittoBroker::clientArguments() const
{
    QStringList arguments{QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                          QString::number(listenPort)};
    if (!setup.user.isEmpty())
        arguments << QStringLiteral("-u") << setup.user << QStringLiteral("-P") << setup.password;
    if (setup.tls)
        arguments << QStringLiteral("--cafile") << caFile();
    return arguments;
}
