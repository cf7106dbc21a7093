#ifndef STOPSIGNALS_H
#define STOPSIGNALS_H

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal on the thread that made this object, so
// that Ctrl+C ends a recording the same orderly way as its end. One per process.
class StopSignals : public QObject
{
    Q_OBJECT
public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

signals:
    void signal_stopRequested();

private slots:
    void drain();

private:
    QSocketNotifier *notifier = nullptr;
};

#endif
