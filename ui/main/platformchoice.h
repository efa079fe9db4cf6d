#pragma once

#include <QString>

class QProcessEnvironment;

// The window system Qt is to use, as a value for QT_QPA_PLATFORM, or an
// empty string to leave Qt's own choice. The windows rely on X11 for their
// placement, their window type and their fixed frame, so where an X server
// is offered (every Wayland desktop offers one through XWayland) X11 comes
// first and Wayland is the fallback. A platform the user chose stands.
QString choosePlatform(const QProcessEnvironment &environment);

// Why the windows cannot be shown, in one line, where that is plain before
// Qt starts: the window system Qt would use needs a display server, and the
// environment names none (neither DISPLAY nor WAYLAND_DISPLAY is set, as
// over SSH without X forwarding or on a text console). Empty where a
// display may be there, or where the user chose a platform that needs none
// (offscreen, vnc).
QString missingDisplay(const QProcessEnvironment &environment);
