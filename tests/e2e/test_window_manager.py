"""The main window refuses every request to close it; only Exit ends the
program, at once and with status 0."""

import sys

import person
import x11session as xs
from x11session import E2EFailure, log


def stays_shown(s, how):
    s.holds(lambda: s.is_visible(s.main_window), f"the main window closed on {how}")
    log(f"the main window stays after {how}")


def run(s):
    s.start_program()
    s.screenshot("main-window-empty", s.main_window)
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

    s.x("wmctrl", "-i", "-c", hex(s.main_window))
    stays_shown(s, "the window manager's close request")

    s.key(s.main_window, "alt+F4")
    stays_shown(s, "Alt+F4")

    # The program still answers: About shows its box and comes back.
    menu.click("About")
    person.answer_message(s, "About Lexivorn v1.0")
    stays_shown(s, "About")

    # The bar works from the keyboard too: Alt reaches it, the arrows pass
    # over the greyed bars, Return acts.
    s.key(s.main_window, "alt", "Right", "Right", "Right", "Return")
    person.answer_message(s, "About Lexivorn v1.0")
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

    menu.click("Exit")
    status = s.wait_exit()
    if status != 0:
        raise E2EFailure(f"Exit ended the program with status {status}")
    log("Exit ended the program with status 0")


if __name__ == "__main__":
    sys.exit(xs.main(run, "close-request"))
