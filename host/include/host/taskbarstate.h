#pragma once

class QWidget;

// Keeps the window off the taskbar and the pager by its skip-taskbar and
// skip-pager states, set before every showing, where the platform has them
// (X11) and the window manager's Alt+Tab still lists a window without them
// (KWin, icewm). Elsewhere (openbox, xfwm4, mutter) those states take the
// window out of Alt+Tab as well, so it keeps its taskbar button, and a
// person can switch back to it from the keyboard. Taskbars and window
// managers all read these states; a window type would not do: icewm reads
// only the states, mutter lists a dialog without a parent window whatever
// its states, and xfwm4, mutter and KWin leave a utility window out of
// Alt+Tab.
void keepOffTaskbar(QWidget *window);

// Asks the window manager to give the window the keyboard focus, stamped
// with the X server's time now, where the platform is X11; elsewhere as Qt
// asks. Qt stamps its request with the time of the last input it saw, which
// after a dialog drawn by another toolkit (the desktop's file dialog) is
// older than the person's last key, and openbox then turns it down.
void requestFocusNow(QWidget *window);

// Whether the window manager says that no window at all is active, the
// keyboard left on the desktop (X11); false where that is not known.
bool noWindowActive();

// Where the window manager has made one of Qt's windows active, gives the
// keyboard to the topmost window of this program that another toolkit draws
// (GTK's file dialog, shown for Qt's), where the platform is X11; returns
// whether it asked.
bool focusOtherToolkitWindow();
