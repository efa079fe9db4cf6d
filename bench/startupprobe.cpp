// lexivorn_startup_probe
// Starts as the program does and exits once the main window has painted
// for the first time: the time from start to a window the user can see.

#include "firstpaint.h"
#include "host/qthostui.h"
#include "mainwindow/deferrediconstyle.h"
#include "mainwindow/form1.h"
#include "resources/appinfo.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    AppInfo::applyApplicationInfo();
    QApplication::setStyle(new DeferredIconStyle);
    QApplication::setQuitOnLastWindowClosed(false);
    QtHostUi host;
    Form1 form1(host);
    new ExitOnFirstPaint(&form1);
    failIfNoPaintWithin(10000, "lexivorn_startup_probe");
    form1.show();
    return app.exec();
}
