#include "app/widget.h"

#include "acquisition/workerserialport.h"
#include "display/notefilesync.h"
#include "display/valueformat.h"
#include "ui_widget.h"

#include <QCoreApplication>
#include <QThread>

#include <climits>
#include <utility>

Widget::Widget(QWidget *parent, PortLister listPorts)
    : QWidget(parent, Qt::WindowFlags()), ui(new Ui::Widget)
{
    ui->setupUi(this);

    auto *worker = new WorkerSerialPort(nullptr, std::move(listPorts));
    workerThread = new QThread;
    worker->moveToThread(workerThread);

    connect(workerThread, SIGNAL(started()), worker, SLOT(process()));
    connect(worker, SIGNAL(finished()), workerThread, SLOT(quit()));
    connect(worker, SIGNAL(finished()), worker, SLOT(deleteLater()));
    connect(workerThread, SIGNAL(finished()), workerThread, SLOT(deleteLater()));
    connect(worker, SIGNAL(stop()), this, SLOT(slot_stop()));
    connect(worker, SIGNAL(signal_newLine(int, QString)), this, SLOT(slot_newLine(int, QString)));
    connect(worker, SIGNAL(signal_newFixed(int)), this, SLOT(slot_newFixed(int)));
    connect(worker, SIGNAL(signal_com(QString)), this, SLOT(slot_com(QString)));
    // Releases the worker, its port and its timer on their own thread as the thread ends.
    connect(workerThread, SIGNAL(finished()), worker, SLOT(deleteLater()));

    workerThread->start(QThread::InheritPriority);
}

Widget::~Widget()
{
    if (workerThread) {
        workerThread->quit();
        workerThread->wait(ULONG_MAX);
        // Its deleteLater may never be delivered once the event loop has ended.
        delete workerThread;
    }
    delete ui;
}

void Widget::slot_newLine(int value, QString serial)
{
    ui->label_i1->setText(formatValue(value));
    ui->label_sn->setText(serial);
    syncNoteFile(serial);
}

void Widget::slot_newFixed(int value)
{
    ui->label_i2->setText(formatValue(value));
}

void Widget::slot_com(QString port)
{
    ui->label_com->setText(QStringLiteral("порт: ") + port);
}

void Widget::slot_stop()
{
    QCoreApplication::quit();
}

// The note reaches its file only through the periodic synchronisation.
void Widget::on_lineEdit_textEdited(const QString &arg1)
{
    Q_UNUSED(arg1)
}

void Widget::syncNoteFile(const QString &serial)
{
    static NoteFileSync notes(ui->lineEdit->maxLength());

    if (const auto loaded = notes.sync(serial, ui->lineEdit->text()))
        ui->lineEdit->setText(*loaded);
}
