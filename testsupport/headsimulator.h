#ifndef HEADSIMULATOR_H
#define HEADSIMULATOR_H

#include <QByteArray>
#include <QString>

// Plays a measuring head on a pseudo-terminal: the readout opens the slave end like
// any serial port, the simulator writes the head's bytes into the master end, and
// hangUp() pulls the plug.
class HeadSimulator
{
public:
    HeadSimulator();
    ~HeadSimulator();
    HeadSimulator(const HeadSimulator &) = delete;
    HeadSimulator &operator=(const HeadSimulator &) = delete;

    bool isOpen() const { return master >= 0; }
    QString slavePath() const { return slave; }

    // Writes as fast as the terminal takes the bytes; false if they could not all go
    // out within timeoutMs (nobody reading, or hung up).
    bool write(const QByteArray &bytes, int timeoutMs = 5000);
    // Writes at the head's line rate, 9600 baud with ten bits a byte.
    bool writePaced(const QByteArray &bytes);

    void hangUp();

    // Whether anybody holds the slave end open: how a test sees that the readout
    // opened its port, or let go of it.
    bool slaveHeld() const;

    static constexpr int LineRateBytesPerSecond = 960;

private:
    int master = -1;
    QString slave;
};

#endif
