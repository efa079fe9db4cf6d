// lexivorn_bare_probe
// The least a Qt Widgets program does to show a window: an empty main
// window the size of Lexivorn's on the offscreen platform (96 DPI), exiting
// at its first paint as lexivorn_startup_probe does. The yardstick for it.

#include "firstpaint.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    new ExitOnFirstPaint(&app);
    failIfNoPaintWithin(10000, "lexivorn_bare_probe");
    QMainWindow window;
    window.setFixedSize(529, 371);
    window.show();
    return app.exec();
}
