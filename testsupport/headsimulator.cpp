#include "testsupport/headsimulator.h"

#include <QElapsedTimer>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

HeadSimulator::HeadSimulator()
{
    // Raw from the start: bytes written before the readout opens the slave must not
    // be echoed or translated by the line discipline.
    termios raw{};
    cfmakeraw(&raw);
    cfsetispeed(&raw, B9600);
    cfsetospeed(&raw, B9600);
    int slaveFd = -1;
    char name[128] = {};
    if (openpty(&master, &slaveFd, name, &raw, nullptr) != 0) {
        master = -1;
        return;
    }
    // Only the readout holds the slave, so that a hang-up reaches it as it would from a
    // real unplugged head.
    ::close(slaveFd);
    slave = QString::fromLocal8Bit(name);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
}

HeadSimulator::~HeadSimulator()
{
    hangUp();
}

bool HeadSimulator::write(const QByteArray &bytes, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    qint64 done = 0;
    while (done < bytes.size() && master >= 0) {
        const ssize_t n = ::write(master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            return false;
        pollfd p{master, POLLOUT, 0};
        ::poll(&p, 1, int(qMin<qint64>(left, 50)));
    }
    return done == bytes.size();
}

bool HeadSimulator::writePaced(const QByteArray &bytes)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < bytes.size(); ++i) {
        const qint64 due = qint64(i) * 1000000 / LineRateBytesPerSecond;
        const qint64 wait = due - clock.nsecsElapsed() / 1000;
        if (wait > 0)
            QThread::usleep(static_cast<unsigned long>(wait));
        if (!write(bytes.mid(i, 1)))
            return false;
    }
    return true;
}

bool HeadSimulator::slaveHeld() const
{
    if (master < 0)
        return false;
    pollfd p{master, POLLIN, 0};
    return !(::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP));
}

void HeadSimulator::hangUp()
{
    if (master >= 0)
        ::close(master);
    master = -1;
}
