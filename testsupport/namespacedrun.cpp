#include "testsupport/namespacedrun.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>

#include <unistd.h>

namespace
{

QStringList unshareArguments()
{
    return geteuid() == 0 ? QStringList{QStringLiteral("-m")} : QStringList{QStringLiteral("-Urm")};
}

// Each port in $PORTS gets an entry in the system's list of ports as a serial driver's
// device would have one: a link in /sys/class/tty to a folder whose uevent names the
// device node, with the driver's own uevent one level down. Entries are listed by name,
// so the ports keep their order.
const char *const NamespaceScript = R"(
set -e
mount -t tmpfs none /sys/class/tty
if [ -n "$LOCK_DIR" ]; then
  mount --bind "$LOCK_DIR" /run/lock
else
  mount -t tmpfs none /run/lock
fi
for node in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM*; do
  if [ -e "$node" ]; then mount --bind /dev/null "$node"; fi
done
n=0
for port in $PORTS; do
  name=$(printf 'ttyHEAD%03d' $n)
  mkdir -p "/sys/class/tty/.devices/$name/device"
  echo "DEVNAME=${port#/dev/}" >"/sys/class/tty/.devices/$name/uevent"
  echo "DRIVER=head-sim" >"/sys/class/tty/.devices/$name/device/uevent"
  ln -s ".devices/$name" "/sys/class/tty/$name"
  n=$((n + 1))
done
if [ -n "$RUN_AS_UID" ]; then
  exec setpriv --reuid="$RUN_AS_UID" --regid="$RUN_AS_UID" --clear-groups "$BINARY" "$@"
fi
exec "$BINARY" "$@"
)";

} // namespace

NamespacedRun::NamespacedRun(const QString &program, const QStringList &arguments,
                             const QStringList &ports, const QString &workingDir,
                             QProcessEnvironment env)
{
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("BINARY"), QFileInfo(program).absoluteFilePath());
    env.insert(QStringLiteral("PORTS"), ports.join(' '));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(workingDir);
    clock.start();
    process.start(QStringLiteral("unshare"),
                  unshareArguments() +
                      QStringList{QStringLiteral("sh"), QStringLiteral("-c"),
                                  QString::fromLatin1(NamespaceScript), QStringLiteral("sh")} +
                      arguments);
}

NamespacedRun::~NamespacedRun()
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
}

bool NamespacedRun::permitted()
{
    QProcess probe;
    probe.start(QStringLiteral("unshare"),
                unshareArguments() +
                    QStringList{QStringLiteral("sh"), QStringLiteral("-c"),
                                QStringLiteral("mount -t tmpfs none /sys/class/tty && "
                                               "mount -t tmpfs none /run/lock")});
    return probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit &&
           probe.exitCode() == 0;
}

qint64 NamespacedRun::waitForExit(int limitMs)
{
    // The event loop keeps running meanwhile: a test's simulated head may be streaming.
    QDeadlineTimer deadline(limitMs);
    while (!process.waitForFinished(5)) {
        if (process.state() == QProcess::NotRunning || deadline.hasExpired())
            return process.state() == QProcess::NotRunning ? clock.elapsed() : -1;
        QCoreApplication::processEvents();
    }
    return clock.elapsed();
}
