#ifndef WIDGET_H
#define WIDGET_H

#include "acquisition/portlister.h"

#include <QPointer>
#include <QString>
#include <QWidget>

class QThread;

namespace Ui
{
class Widget;
}

// The readout window: shows what the acquisition worker reports and keeps the
// connected head's note in step with its file.
class Widget : public QWidget
{
    Q_OBJECT

public:
    explicit Widget(QWidget *parent = nullptr, PortLister listPorts = systemPortLocations);
    ~Widget() override;

public slots:
    void slot_newLine(int, QString);
    void slot_newFixed(int);
    void slot_com(QString);
    void slot_stop();

private slots:
    void on_lineEdit_textEdited(const QString &arg1);

private:
    void syncNoteFile(const QString &serial);

    Ui::Widget *ui;
    // Cleared if the thread is released early, after the worker reported it is done.
    QPointer<QThread> workerThread;
};

#endif
