#include "app/displayscaling.h"
#include "app/widget.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    enableDisplayScaling();
    QApplication a(argc, argv);
    Widget w;
    w.show();
    return a.exec();
}
