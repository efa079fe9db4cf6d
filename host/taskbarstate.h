#pragma once

class QWidget;

// Keeps the window off the taskbar and the pager. The tool-window type
// already asks for that, but some window managers (icewm among them) read
// only the window's skip-taskbar and skip-pager states, which are set here
// before every showing, where the platform has them (X11).
void keepOffTaskbar(QWidget *window);
