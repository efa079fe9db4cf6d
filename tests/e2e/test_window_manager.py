"""What the window manager can do to the windows, on a short 1024x600
screen: the main window is centred with its frame on the screen; it refuses
every request to close it; nothing minimized stays minimized; every box and
dialog belongs to the main window; the menu bar shows where the keyboard is
and gives the focus back to the list; Exit ends the program at once, with
status 0. Before all that, started with no display, it says so in one line
and ends with status 1."""

import glob
import os
import subprocess
import sys

import person
import windowmanager as wm
import x11session as xs
from x11session import E2EFailure, log, wait_until


def stays_shown(s, how):
    s.holds(lambda: s.is_visible(s.main_window), f"the main window closed on {how}")
    log(f"the main window stays after {how}")


def startup_wm_class():
    resources = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources")
    (entry,) = glob.glob(os.path.join(resources, "*.desktop"))
    with open(entry, encoding="utf-8") as f:
        for line in f:
            if line.startswith("StartupWMClass="):
                return line.strip().partition("=")[2]
    raise E2EFailure(f"{entry} has no StartupWMClass")


def list_picture(s):
    """The top of the list, where the first entries are drawn."""
    width, height, px = s.grab_rgb(s.main_window)
    return px[3 * width * 30:3 * width * min(height, 90)]


def without_display(s):
    """From a text console or over SSH without X forwarding: one line on
    standard error, status 1, and no core dump. A display whose server is
    gone ends the same way, after what Qt says of it."""
    plain = {k: v for k, v in s.env.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    for what, env, line in (
            ("with no display", plain,
             "lexivorn: a graphical session is needed: neither DISPLAY nor WAYLAND_DISPLAY "
             "is set"),
            ("with a display that is gone", {**plain, "DISPLAY": ":65000"},
             "lexivorn: could not open the display; a graphical session is needed")):
        done = subprocess.run([s.program], env=env, cwd=s.env["HOME"], capture_output=True,
                              stdin=subprocess.DEVNULL, timeout=xs.DEFAULT_TIMEOUT)
        said = done.stderr.decode(errors="replace").splitlines()
        if done.returncode != 1 or not said or said[-1] != line or done.stdout:
            raise E2EFailure(f"started {what}: status {done.returncode}, said {said!r}")
        if what == "with no display" and len(said) != 1:
            raise E2EFailure(f"started {what}, it said more than one line: {said!r}")
        log(f"started {what}: {said[-1]!r}, status 1")


def run(s):
    without_display(s)
    path = os.path.join(s.tmp, "list.txt")
    with open(path, "wb") as f:
        f.write(b"pear\r\napple\r\n")

    s.start_program()
    wm.expect_frame_centred(s, s.main_window)
    s.screenshot("main-window-empty", s.main_window)
    # Docks and taskbars match the window to the desktop entry by its class.
    wm_class = s.x("xprop", "-id", str(s.main_window), "WM_CLASS").split("=")[-1]
    window_class = wm_class.split(",")[-1].strip().strip('"')
    if window_class != startup_wm_class():
        raise E2EFailure(f"the main window's WM_CLASS is {wm_class.strip()}, "
                         f"the desktop entry says StartupWMClass={startup_wm_class()}")
    menu = person.Menu(s)
    menu.centres()

    actions = s.x("xprop", "-id", str(s.main_window), "_NET_WM_ALLOWED_ACTIONS")
    for action in ("_NET_WM_ACTION_RESIZE", "_NET_WM_ACTION_MAXIMIZE_HORZ"):
        if action in actions:
            raise E2EFailure(f"the window manager offers {action} on the fixed-size window")
    # openbox offers minimize whatever a window asks; window managers that
    # heed the Motif hints go by the functions the window lists there.
    hints = s.x("xprop", "-id", str(s.main_window), "_MOTIF_WM_HINTS").split("=")[-1]
    flags, functions = (int(v, 16) for v in hints.split(",")[:2])
    MWM_HINTS_FUNCTIONS, MWM_FUNC_ALL, MWM_FUNC_MINIMIZE, MWM_FUNC_MAXIMIZE = 1, 1, 8, 16
    if not flags & MWM_HINTS_FUNCTIONS or functions & (
        MWM_FUNC_ALL | MWM_FUNC_MINIMIZE | MWM_FUNC_MAXIMIZE
    ):
        raise E2EFailure(f"the main window asks for minimize or maximize: {hints.strip()}")
    wm.minimize_and_expect_back(s, s.main_window, "the main window")

    s.x("wmctrl", "-i", "-c", hex(s.main_window))
    stays_shown(s, "the window manager's close request")

    s.key(s.main_window, "alt+F4")
    stays_shown(s, "Alt+F4")

    # The program still answers: About shows its box and comes back.
    menu.click("About")
    box = s.wait_window("About Lexivorn v1.0")
    wm.expect_owned_by_main_window(s, box, "the About box")
    person.answer_message(s, "About Lexivorn v1.0")
    stays_shown(s, "About")

    # Alt shows where the keyboard is on the bar, and Right moves it past
    # the greyed bar; Escape leaves the bar as it was.
    s.x("xdotool", "mousemove", "0", "0")
    idle = wm.bar_picture(s, menu)
    s.key(s.main_window, "alt")
    wm.expect_highlight_on(s, menu, idle, "Open")
    s.screenshot("menu-bar-keyboard-on-open", s.main_window)
    s.key(s.main_window, "Right")
    wm.expect_highlight_on(s, menu, idle, "Save")
    s.key(s.main_window, "Escape")
    wait_until(lambda: wm.bar_picture(s, menu) == idle, "the bar to look as before Escape", 5)

    # The bar works from the keyboard too: Return acts.
    s.key(s.main_window, "alt", "Right", "Return")
    person.answer_message(s, "Error")  # Save with nothing to save
    stays_shown(s, "the menu bar used from the keyboard")

    # The greyed bars do nothing.
    for index, item in enumerate(xs.MENU_ITEMS):
        if item == "|":
            menu.click(item, index)
    stays_shown(s, "clicks on the greyed bars")
    if s.visible_windows() != [s.main_window]:
        raise E2EFailure(f"unexpected windows after clicking the bars: {s.visible_windows()}")

    # The file dialog and the prompt after the progress window belong to the
    # main window, and the prompt comes back from being minimized.
    menu.click("Open")
    dialog = s.wait_window(xs.OPEN_TITLE)
    wm.expect_owned_by_main_window(s, dialog, "the open dialog")
    person.choose_file(s, xs.OPEN_TITLE, path)
    prompt = s.wait_window("Finished", person.PROGRESS_TIMEOUT)
    wm.expect_owned_by_main_window(s, prompt, "the Finished prompt")
    wm.minimize_and_expect_back(s, prompt, "the Finished prompt")
    person.answer_no(s, prompt)

    # About from the keyboard alone; afterwards the list has the focus, so
    # Down selects its first entry.
    menu.press("About")
    person.answer_message(s, "About Lexivorn v1.0")
    before = list_picture(s)
    s.key(s.main_window, "Down")
    wait_until(lambda: list_picture(s) != before, "Down to select in the list after About", 5)
    log("the list has the focus after About from the keyboard")

    menu.press("Exit")
    status = s.wait_exit()
    if status != 0:
        raise E2EFailure(f"Exit ended the program with status {status}")
    log("Exit from the keyboard ended the program with status 0")


if __name__ == "__main__":
    sys.exit(xs.main(run, "window-manager", screen="1024x600"))
