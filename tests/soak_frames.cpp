// One million frames, as fast as the pseudo-terminal takes them, through the real
// worker thread and window: none may be lost, and memory must not creep.
#include "display/valueformat.h"
#include "testsupport/frameflood.h"
#include "testsupport/headsimulator.h"
#include "testsupport/simulatedwindow.h"

#include <QApplication>
#include <QTest>

class SoakFrames : public QObject
{
    Q_OBJECT

private slots:
    void millionFramesAllShownWithoutGrowth();
};

void SoakFrames::millionFramesAllShownWithoutGrowth()
{
    const long frames = qEnvironmentVariableIntValue("SOAK_FRAMES") > 0
                            ? qEnvironmentVariableIntValue("SOAK_FRAMES")
                            : 1000000;

    HeadSimulator head;
    SimulatedWindow readout({head.slavePath()});
    QVERIFY(readout.isReady());
    QVERIFY(readout.waitForPort(head.slavePath()));

    const FloodResult flood = floodFrames(head, readout.window(), frames, 20LL * 60 * 1000);
    qInfo("%ld frames shown in %.1f s (%.0f frames/s); resident %ld KiB after %ld frames, "
          "%ld KiB at the end",
          flood.shown, flood.seconds, double(flood.shown) / flood.seconds, flood.residentKiBAtTenth,
          frames / 10, flood.residentKiBAtEnd);

    QVERIFY(!flood.writeFailed);
    QCOMPARE(flood.shown, frames);
    QCOMPARE(readout.labelText("label_i1"), formatValue(floodValue(frames - 1)));
    QVERIFY2(flood.residentKiBAtEnd - flood.residentKiBAtTenth <= 1024,
             qPrintable(QStringLiteral("grew by %1 KiB")
                            .arg(flood.residentKiBAtEnd - flood.residentKiBAtTenth)));
}

QTEST_MAIN(SoakFrames)
#include "soak_frames.moc"
