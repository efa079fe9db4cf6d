// lexivorn_startup_probe
// The program itself, main() and all, which exits once its first window,
// the main window, has painted for the first time: the time from start to
// a window the user can see.

#include "firstpaint.h"
#include "mainwindow/program.h"

#include <QGuiApplication>

namespace {

// Run as each application object is made. The command line is read under
// an application object of its own, which shows nothing.
void exitOnFirstPaint()
{
    auto *application = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (!application)
        return;
    new ExitOnFirstPaint(application);
    failIfNoPaintWithin(10000, "lexivorn_startup_probe");
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(exitOnFirstPaint)

int main(int argc, char *argv[])
{
    return runProgram(argc, argv);
}
