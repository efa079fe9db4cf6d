#pragma once

class QWidget;

// What keeps a window where a person can reach it, whatever the window
// manager offers.

// Puts the window back to its normal state whenever it is minimized,
// maximized or made full screen: window managers offer these even to
// windows that ask for no such buttons, and a minimized window without a
// taskbar button, or a modal box hidden that way, cannot be found again.
// On Wayland the window's size is not held fixed against the compositor.
void keepWindowNormal(QWidget *window);

// Centres the window on its screen, frame included, and keeps its top-left
// corner (its title bar and menu bar) on the screen when it is larger than
// the screen; the window keeps its size. The frame is known only once the
// window manager has framed the window, so the first showing places it again
// then. Later showings keep wherever the user moved it.
void centreOnScreen(QWidget *window);
