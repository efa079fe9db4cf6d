#include "appinfo.h"
#include "form1.h"
#include "platformchoice.h"
#include "qthostui.h"

#include <QApplication>
#include <QProcessEnvironment>

int main(int argc, char *argv[])
{
    // Qt reads the platform when the application object is made.
    if (const QString platform = choosePlatform(QProcessEnvironment::systemEnvironment());
        !platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform.toLocal8Bit());
    QApplication app(argc, argv);
    AppInfo::applyApplicationInfo();
    // Hiding the main window while the progress window plays, or having no
    // window shown for a moment, must not end the program: only Exit does.
    QApplication::setQuitOnLastWindowClosed(false);
    QtHostUi host;
    Form1 form1(host);
    form1.show();
    return app.exec();
}
