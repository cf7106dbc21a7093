#ifndef NAMESPACEDRUN_H
#define NAMESPACEDRUN_H

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

// A shipped program run as a whole process in a private mount namespace, where the
// system lists exactly the given pseudo-terminals as its serial ports (or none at all),
// the machine's own ports are replaced by /dev/null, and port lock files go to a private
// /run/lock: the machine's ports, often its console, are never opened, and a killed run
// leaves no lock file behind. With LOCK_DIR in env, that folder is /run/lock instead: runs
// given the same one see each other's lock files, and the test sees them. With RUN_AS_UID in env,
// the program runs as that user and group, without supplementary groups.
class NamespacedRun
{
public:
    NamespacedRun(const QString &program, const QStringList &arguments, const QStringList &ports,
                  const QString &workingDir,
                  QProcessEnvironment env = QProcessEnvironment::systemEnvironment());
    ~NamespacedRun();
    NamespacedRun(const NamespacedRun &) = delete;
    NamespacedRun &operator=(const NamespacedRun &) = delete;

    // Whether such namespaces may be made here; where they may not, there is no run.
    static bool permitted();

    // Milliseconds from start to exit, or -1 if it did not end within the limit. Events are
    // processed while it waits.
    qint64 waitForExit(int limitMs);

    QProcess process;
    QElapsedTimer clock;
};

#endif
