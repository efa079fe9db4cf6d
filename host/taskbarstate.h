#pragma once

class QWidget;

// Keeps the window off the taskbar and the pager by its skip-taskbar and
// skip-pager states, set before every showing, where the platform has them
// (X11). Taskbars and window managers all read these states; a window type
// would not do: icewm reads only the states, mutter lists a dialog without a
// parent window whatever its states, and neither mutter nor KWin gives a
// utility window the focus.
void keepOffTaskbar(QWidget *window);
