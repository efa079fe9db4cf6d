"""What the window manager sees of the program's windows: which window a
box belongs to, whether a window is minimized, where its frame lies; and
pictures of the menu bar to tell which item is highlighted."""

import re
import time

import x11session as xs
from x11session import E2EFailure, log, wait_until


def transient_for(s, window):
    out = s.x("xprop", "-id", str(window), "WM_TRANSIENT_FOR", check=False)
    found = re.search(r"window id # (0x[0-9a-fA-F]+)", out)
    return int(found.group(1), 16) if found else None


def expect_owned_by_main_window(s, window, what):
    owner = transient_for(s, window)
    if owner != s.main_window:
        raise E2EFailure(f"{what} is transient for {owner}, not for the main window "
                         f"{s.main_window}")
    log(f"{what} belongs to the main window")


def is_normal(s, window):
    out = s.x("xprop", "-id", str(window), "WM_STATE", check=False)
    return "window state: Normal" in out and s.is_visible(window)


def minimize_and_expect_back(s, window, what, seconds=1.5):
    """Minimizes the window with the window manager's own request; the
    window must be back, and stay back."""
    s.x("xdotool", "windowminimize", str(window))
    wait_until(lambda: is_normal(s, window), f"{what} to come back after minimizing", 10)
    time.sleep(seconds)  # a window that stays minimized has gone by now
    if not is_normal(s, window):
        s.screenshot(f"{what.replace(' ', '-')}-minimized")
        raise E2EFailure(f"{what} stays minimized")
    log(f"{what} came back after minimizing")


def frame_rect(s, window):
    x, y, width, height = s.geometry(window)
    out = s.x("xprop", "-id", str(window), "_NET_FRAME_EXTENTS")
    left, right, top, bottom = (int(v) for v in out.split("=")[1].split(","))
    return x - left, y - top, width + left + right, height + top + bottom


def expect_frame_centred(s, window):
    screen_w, screen_h = (int(v) for v in s.screen_size.split("x"))

    def centred():
        x, y, width, height = frame_rect(s, window)
        inside = x >= 0 and y >= 0 and x + width <= screen_w and y + height <= screen_h
        off = abs(2 * x + width - screen_w) + abs(2 * y + height - screen_h)
        return inside and off <= 4
    try:
        wait_until(centred, "the main window's frame to be centred on the screen", 5)
    except E2EFailure:
        raise E2EFailure(f"the frame {frame_rect(s, window)} is not centred on the "
                         f"{s.screen_size} screen")
    log(f"the frame {frame_rect(s, window)} is centred on the {s.screen_size} screen")


def bar_picture(s, menu):
    """The menu bar's band of the main window, as rows of RGB bytes."""
    width, _, px = s.grab_rgb(s.main_window)
    y = menu.centres()[0][1]
    return width, [px[3 * width * row:3 * width * (row + 1)] for row in range(y - 6, y + 7)]


def highlighted_columns(idle, now):
    """The x range where the bar now differs from its idle picture."""
    width, idle_rows = idle
    _, rows = now
    changed = [x for x in range(width)
               if any(r[3 * x:3 * x + 3] != i[3 * x:3 * x + 3] for r, i in zip(rows, idle_rows))]
    return (changed[0], changed[-1]) if changed else None


def expect_highlight_on(s, menu, idle, item):
    x = menu.centres()[xs.MENU_ITEMS.index(item)][0]

    def on_item():
        span = highlighted_columns(idle, bar_picture(s, menu))
        return span and span[0] <= x <= span[1] and span[1] - span[0] < 120
    try:
        wait_until(on_item, f'"{item}" to be highlighted', 5)
    except E2EFailure:
        s.screenshot(f"menu-bar-not-on-{item}", s.main_window)
        raise
    log(f'"{item}" is highlighted')
