// lexivorn_startup_probe
// Starts as the program does and exits once the main window has painted
// for the first time: the time from start to a window the user can see.

#include "appinfo.h"
#include "deferrediconstyle.h"
#include "firstpaint.h"
#include "form1.h"
#include "qthostui.h"

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
