#include "appinfo.h"
#include "commandline.h"
#include "form1.h"
#include "qthostui.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    const CommandLine commandLine = readCommandLine(argc, argv);
    if (commandLine.exitStatus)
        return *commandLine.exitStatus;

    QApplication app(argc, argv);
    AppInfo::applyApplicationInfo();
    // Hiding the main window while the progress window plays, or having no
    // window shown for a moment, must not end the program: only Exit does.
    QApplication::setQuitOnLastWindowClosed(false);
    QtHostUi host;
    Form1 form1(host);
    form1.show();
    form1.openFiles(commandLine.files);
    return app.exec();
}
