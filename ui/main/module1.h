#pragma once

class QWidget;

// Takes the Close command away from a window: its close button, window
// menu entry, Alt+F4 and the window manager's close request no longer close
// it. The program is then left only through Exit.
void RemoveCloseCommand(QWidget *window);
