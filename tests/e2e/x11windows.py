"""The program's windows as a person meets them on the display: found by
title, waited for, measured, given keys and clicks, and pictured.

Session takes these methods in; they rely on its env (the display's
environment), its app (the program's process), and its x, expect_running,
program_running and artifacts."""

import ctypes
import os
import re
import subprocess
import time

from e2ecommon import DEFAULT_TIMEOUT, POLL, E2EFailure, wait_until


class Windows:
    """Window queries and pictures for Session."""

    # ---- windows --------------------------------------------------------

    def visible_windows(self, title=None):
        """Ids of the program's visible windows, optionally by exact title."""
        argv = ["xdotool", "search", "--onlyvisible"]
        if title is not None:
            argv += ["--name", "^" + _regex_escape(title) + "$"]
        else:
            argv += ["--pid", str(self.app.pid)]
        done = subprocess.run(argv, env=self.env, capture_output=True, timeout=DEFAULT_TIMEOUT)
        return [int(w) for w in done.stdout.split()]

    def wait_window(self, title, timeout=DEFAULT_TIMEOUT):
        def found():
            self.expect_running()
            ids = self.visible_windows(title)
            return ids[0] if ids else None
        return wait_until(found, f'a window titled "{title}"', timeout)

    def wait_gone(self, window, timeout=DEFAULT_TIMEOUT, what=None):
        wait_until(lambda: window not in self.visible_windows() or not self.program_running(),
                   what or f"window {window} to close", timeout)

    def holds(self, condition, failure, seconds=1.5):
        """Checks, for a while, that condition stays true: a program that is
        going to change its windows in answer to something does so well
        within this time."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            self.expect_running()
            if not condition():
                raise E2EFailure(failure)
            time.sleep(POLL)

    def is_visible(self, window):
        return window in self.visible_windows()

    def title_of(self, window):
        return self.x("xdotool", "getwindowname", str(window), check=False).rstrip("\n")

    def geometry(self, window):
        out = self.x("xwininfo", "-id", str(window))
        fields = {}
        for line in out.splitlines():
            key, _, value = line.strip().partition(":")
            fields[key] = value.strip()
        return (int(fields["Absolute upper-left X"]), int(fields["Absolute upper-left Y"]),
                int(fields["Width"]), int(fields["Height"]))

    def focused_window(self):
        """The window that has the keyboard focus, or None (the desktop)."""
        out = self.x("xdotool", "getwindowfocus", check=False).strip()
        return int(out) if out.isdigit() else None

    def expect_focus(self, window, when, timeout=5):
        """A person types into whatever has the keyboard focus, and nobody
        gives it to the program for them: the window must have it of its own
        accord, or the test fails."""
        try:
            wait_until(lambda: self.focused_window() == window,
                       f"window {window} to have the keyboard focus {when}", timeout)
        except E2EFailure:
            focused = self.focused_window()
            where = f'window {focused} "{self.title_of(focused)}"' if focused else "the desktop"
            self.screenshot("focus-elsewhere")
            raise E2EFailure(f'"{self.title_of(window)}" lacks the keyboard focus {when}; '
                             f"it is on {where}")

    def key(self, window, *keys):
        """Presses the keys, as a person does once they see the window has
        the keyboard focus."""
        self.expect_focus(window, f"for the keys {' '.join(keys)}")
        self.x("xdotool", "key", "--clearmodifiers", "--delay", "30",
               *[self._plain_key(k) for k in keys])

    def _plain_key(self, key):
        """A function key alone is given to xdotool as its keycode. Named,
        it is pressed with the modifiers of the first entry in its key type
        that leads to its plain level (xdotool 3.20160805), and newer
        xkeyboard-config (2.48 in Debian testing) has Alt there for F1 to
        F12: F10 would reach the program as Alt+F10."""
        if not re.fullmatch(r"F\d+", key):
            return key
        return str(_keycode(self.display, key))

    def type_text(self, window, text):
        self.expect_focus(window, "for typing")
        self.x("xdotool", "type", "--clearmodifiers", "--delay", "8", "--", text)

    def click(self, window, x, y):
        """Moves the pointer to the window's point and clicks there; the
        window manager does with the click what it does for a person."""
        self.x("xdotool", "mousemove", "--window", str(window), str(x), str(y),
               "click", "1")

    # ---- pictures -------------------------------------------------------

    def screenshot(self, name, window="root"):
        path = os.path.join(self.artifacts, f"{name}.png")
        self.x("import", "-window", str(window), path, check=False)
        return path

    def grab_rgb(self, window):
        """The window's pixels as (width, height, bytes of RGB triples)."""
        done = subprocess.run(["import", "-window", str(window), "-depth", "8", "ppm:-"],
                              env=self.env, capture_output=True, timeout=DEFAULT_TIMEOUT)
        if done.returncode != 0:
            raise E2EFailure(f"could not grab window {window}")
        return _parse_ppm(done.stdout)


def _regex_escape(text):
    return "".join("\\" + c if c in ".^$*+?()[]{}|\\" else c for c in text)


def _parse_ppm(data):
    # Header: P6 <width> <height> <maxval>, separated by whitespace.
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6":
        raise E2EFailure("unexpected picture format from import")
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[pos + 1:pos + 1 + width * height * 3]


def _keycode(display, keysym_name):
    """The display's keycode for a keysym, as the X library finds it."""
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XStringToKeysym.restype = ctypes.c_ulong
    x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
    x11.XKeysymToKeycode.restype = ctypes.c_ubyte
    x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    connection = x11.XOpenDisplay(display.encode())
    if not connection:
        raise E2EFailure(f"cannot open {display} to look up {keysym_name}")
    try:
        code = x11.XKeysymToKeycode(connection, x11.XStringToKeysym(keysym_name.encode()))
    finally:
        x11.XCloseDisplay(connection)
    if not code:
        raise E2EFailure(f"no key gives {keysym_name} on {display}")
    return code
