#pragma once

#include <functional>

class QSize;
class QWidget;

// What keeps a window where a person can reach it, whatever the window
// manager offers.

// Puts the window back to its normal state whenever it is minimized,
// maximized or made full screen: window managers offer these even to
// windows that ask for no such buttons, and a minimized window without a
// taskbar button, or a modal box hidden that way, cannot be found again.
// On Wayland the window's size is not held fixed against the compositor.
void keepWindowNormal(QWidget *window);

// Asks the window manager for the keyboard focus each time the window is
// shown. Not every window manager gives it to a new window of its own
// accord: openbox passes over a normal window that is off the taskbar, as
// mutter and KWin pass over a utility window. The request names the time
// of the program's last input, so a window manager that prevents focus
// stealing still turns it down after the person has gone on elsewhere.
void takeFocusWhenShown(QWidget *window);

// Gives the keyboard focus back to the window once a box or dialog over it
// has closed, where the window manager would leave it elsewhere (openbox,
// for a window off the taskbar, leaves it on the desktop). Nothing is
// asked of a hidden window.
void takeFocusBack(QWidget *window);

// Centres the window on its screen, frame included, and keeps its top-left
// corner (its title bar and menu bar) on the screen when it is larger than
// the screen; the window keeps its size. The frame is known only once the
// window manager has framed the window, so the first showing places it again
// then. Later showings keep wherever the user moved it.
void centreOnScreen(QWidget *window);

// Calls `fit` with the room the screen's free area leaves for the window's
// client area, frame excluded, before each showing and whenever the screen
// or the frame changes, so that a window larger than the screen can shrink
// to it and grow back to its design size where that fits.
void fitToScreen(QWidget *window, std::function<void(const QSize &room)> fit);
