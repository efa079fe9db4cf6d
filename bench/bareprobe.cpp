// lexivorn_bare_probe
// The least a Qt Widgets program does to show a window: an empty main
// window the size of Lexivorn's on the offscreen platform (96 DPI), exiting
// at its first paint. The yardstick for lexivorn_startup_probe.

#include "firstpaint.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setFixedSize(529, 371);
    new ExitOnFirstPaint(&window);
    failIfNoPaintWithin(10000, "lexivorn_bare_probe");
    window.show();
    return app.exec();
}
