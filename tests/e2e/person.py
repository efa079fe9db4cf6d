"""What a person does with Lexivorn: click the menu bar, pick files in the
dialogs by typing their paths, answer the message boxes. Also what a person
expects to find in a saved list file.
"""

import collections
import os
import time

import x11session as xs
from x11session import E2EFailure, log, wait_until

# The progress window is 298 x 58 pixels at 96 DPI and has no title.
PROGRESS_SIZE = (298, 58)
# The whole progress sequence takes about 6 s; allow a loaded machine more.
PROGRESS_TIMEOUT = 40.0


# ---- the menu bar -------------------------------------------------------

def menu_item_centres(s):
    """Finds the menu bar items as a person sees them: the runs of drawn text
    in the bar, left to right. Returns their centres in window coordinates."""
    width, height, px = s.grab_rgb(s.main_window)
    band = min(height, 40)

    def ink(x, y):
        i = 3 * (y * width + x)
        return (px[i] + px[i + 1] + px[i + 2]) < 3 * 215

    # Rows that are lines across the window (a border, the list's frame)
    # are not text; the bar ends at the first one after some text.
    text_rows = []
    for y in range(band):
        count = sum(ink(x, y) for x in range(width))
        if count > width // 2:
            if text_rows:
                break
            continue
        if count:
            text_rows.append(y)
    columns = [x for x in range(width) if any(ink(x, y) for y in text_rows)]
    runs = []
    for x in columns:
        if runs and x - runs[-1][1] <= 4:
            runs[-1][1] = x
        else:
            runs.append([x, x])
    top, bottom = (text_rows[0], text_rows[-1]) if text_rows else (0, 0)
    return [((a + b) // 2, (top + bottom) // 2) for a, b in runs]


class Menu:
    def __init__(self, session):
        self.s = session
        self._centres = None

    def centres(self):
        if self._centres is None:
            # Right after it maps, the window may not be painted yet.
            seen = []

            def recognised():
                seen[:] = [menu_item_centres(self.s)]
                return len(seen[0]) == len(xs.MENU_ITEMS)
            try:
                wait_until(recognised, "the menu bar to show its items", 10)
            except E2EFailure:
                self.s.screenshot("menu-bar-not-recognised", self.s.main_window)
                raise E2EFailure(f"expected {len(xs.MENU_ITEMS)} items in the menu bar, "
                                 f"saw {len(seen[0])} at {seen[0]}")
            self._centres = seen[0]
        return self._centres

    def press(self, item, key="alt"):
        """Runs the command from the keyboard: Alt (or F10) onto the bar,
        Right past the greyed bars to the item, Return."""
        commands = [i for i in xs.MENU_ITEMS if i != "|"]
        log(f"{key}, Right x{commands.index(item)}, Return: {item}")
        self.s.key(self.s.main_window, key, *["Right"] * commands.index(item), "Return")

    def click(self, item, index=None):
        if index is None:
            index = xs.MENU_ITEMS.index(item)
        x, y = self.centres()[index]
        log(f"click menu item {index} ({xs.MENU_ITEMS[index]}) at {x},{y}")
        self.s.click(self.s.main_window, x, y)


# ---- dialogs and message boxes -------------------------------------------

def expect_focus_back(s, closed):
    """Once a box or dialog has closed and the main window is left alone on
    the screen, the keyboard is back in it: a person types on at once."""
    def settled():
        s.expect_running()
        if s.visible_windows() != [s.main_window]:
            return "another window"
        return s.focused_window() == s.main_window
    try:
        wait_until(settled, f"the keyboard back in the main window after {closed}", 5)
    except E2EFailure:
        s.expect_focus(s.main_window, f"after {closed} closed", timeout=0.1)


def answer_message(s, title, keys=("Return",), timeout=xs.DEFAULT_TIMEOUT, shot=None):
    box = s.wait_window(title, timeout)
    if shot:
        s.screenshot(shot)
    s.key(box, *keys)
    s.wait_gone(box, what=f'the "{title}" box to close')
    expect_focus_back(s, f'the "{title}" box')
    return box


def choose_file(s, title, path, overwrite=None):
    """Types the full path into the dialog's file name field and presses
    Return. When the save dialog asks whether to replace an existing file,
    answers Yes if overwrite is true."""
    dialog = s.wait_window(title)
    s.key(dialog, "ctrl+a")
    s.type_text(dialog, path)
    s.key(dialog, "Return")

    def settled():
        s.expect_running()
        shown = s.visible_windows(title)
        extra = [w for w in shown if w != dialog]
        if extra:
            return ("confirm", extra[0])
        if dialog not in shown:
            return ("closed", None)
        return None
    state, box = wait_until(settled, f'the "{title}" dialog to accept {path}')
    if state == "confirm":
        if overwrite is None:
            raise E2EFailure(f"unexpected question over {path}")
        s.key(box, "y" if overwrite else "n")
        s.wait_gone(dialog, what=f'the "{title}" dialog to close')


def cancel_dialog(s, title):
    dialog = s.wait_window(title)
    # A completion popup of the file name field takes the first Escape;
    # a person presses it again.
    for attempt in range(3):
        s.key(dialog, "Escape")
        try:
            s.wait_gone(dialog, timeout=2, what=f'the "{title}" dialog to close on Escape')
            break
        except E2EFailure:
            if attempt == 2:
                raise
    expect_focus_back(s, f'the cancelled "{title}" dialog')


def progress_windows(s):
    found = []
    for w in s.visible_windows():
        if w == s.main_window:
            continue
        try:
            _, _, width, height = s.geometry(w)
        except E2EFailure:
            continue  # gone since it was listed
        if (width, height) == PROGRESS_SIZE:
            found.append(w)
    return found


# ---- the commands, as a person runs them -----------------------------------

def open_file(s, menu, path, shot_progress=None):
    """Open: choose the file, watch the progress window play, and return the
    "Finished" prompt's window once it is up (the caller answers it)."""
    menu.click("Open")
    choose_file(s, xs.OPEN_TITLE, path)
    started = time.monotonic()
    progress = wait_until(lambda: progress_windows(s), "the progress window")[0]
    if s.is_visible(s.main_window):
        raise E2EFailure("the main window stays shown while the progress window plays")
    # The keyboard goes with it: a screen reader announces it, and Escape
    # reaches it.
    s.expect_focus(progress, "while the progress window plays")
    if shot_progress:
        time.sleep(1.5)  # let the bar move so the picture shows it mid-run
        s.screenshot(shot_progress)
    prompt = s.wait_window("Finished", PROGRESS_TIMEOUT)
    took = time.monotonic() - started
    log(f"opened {os.path.basename(path)}: prompt after {took:.1f} s")
    # 50 ticks of 120 ms: a timer never fires early, so well under 6 s
    # means ticks were skipped.
    if took < 5.0:
        raise E2EFailure(f"the prompt came after {took:.1f} s, not after the 6 s sequence")
    if progress in s.visible_windows():
        raise E2EFailure("the progress window is still shown with the prompt")
    if not s.is_visible(s.main_window):
        raise E2EFailure("the main window is not back when the prompt shows")
    return prompt


def answer_no(s, prompt):
    s.key(prompt, "n")
    s.wait_gone(prompt, what="the prompt to close")
    wait_until(lambda: s.is_visible(s.main_window), "the main window after No")
    expect_focus_back(s, "the prompt answered No")


def answer_yes_and_save(s, prompt, path, overwrite=None):
    s.key(prompt, "y")
    choose_file(s, xs.SAVE_TITLE, path, overwrite)
    answer_message(s, "Finished")
    wait_until(lambda: s.is_visible(s.main_window), "the main window after the save")


def menu_save(s, menu, path, overwrite=None):
    menu.click("Save")
    choose_file(s, xs.SAVE_TITLE, path, overwrite)
    answer_message(s, "Finished")


def expect_error(s, doing):
    """Waits for the "Error" box and closes it; a "Finished" box instead is
    a failure reported as success."""
    def answered():
        s.expect_running()
        if s.visible_windows("Finished"):
            s.screenshot("success-instead-of-error")
            raise E2EFailure(f'"Finished" instead of "Error" after {doing}')
        return s.visible_windows("Error")
    wait_until(answered, f'the "Error" box after {doing}', PROGRESS_TIMEOUT)
    answer_message(s, "Error")


def open_refused(s, menu, path):
    """Open of a file the program cannot take: an "Error" box, and afterwards
    the main window shown with no progress window left over."""
    menu.click("Open")
    choose_file(s, xs.OPEN_TITLE, path)
    expect_error(s, f"opening {os.path.basename(path)}")
    wait_until(lambda: s.is_visible(s.main_window), "the main window after the error")
    wait_until(lambda: not progress_windows(s), "no progress window after the error")


def give_up_held_read(s, menu, path):
    """Open of a file whose read is held up, as on a slow disk: the progress
    window has the keyboard, and Escape gives the read up. The main window
    is back with the keyboard, and no prompt follows."""
    menu.click("Open")
    choose_file(s, xs.OPEN_TITLE, path)
    progress = wait_until(lambda: progress_windows(s), "the progress window")[0]
    s.expect_focus(progress, "while a held read keeps the progress window up")
    time.sleep(2)  # a person sees "Please wait..." and the bar moving
    s.screenshot("progress-window-held-read")
    s.key(progress, "Escape")
    s.wait_gone(progress, what="the progress window to close on Escape")
    expect_focus_back(s, "Escape during a held read")
    s.holds(lambda: s.visible_windows() == [s.main_window],
            "a prompt or a box followed Escape during a held read")
    log("Escape gave up a held read; the main window is back with the keyboard")


def switch_back_with_alt_tab(s, window, what):
    """Another program's window opens over the window and takes the
    keyboard, as a program the person starts does; Alt+Tab, pressed into
    that window, brings the keyboard back."""
    other = s.start_other_program()
    wait_until(lambda: s.focused_window() == other[1],
               "the other program's window to take the keyboard")
    s.x("xdotool", "key", "--clearmodifiers", "alt+Tab")
    s.expect_focus(window, f"after Alt+Tab from another program's window over {what}")
    s.stop_other_program(other)
    log(f"Alt+Tab from another program's window brought {what} back")


# ---- list files ---------------------------------------------------------

def file_lines(data):
    """The entries a list file gives: lines end at CR or CR LF, a lone LF
    stays inside the line, trailing spaces go, a leading UTF-8 byte-order
    mark is not part of the first line."""
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    lines = []
    start = 0
    i = 0
    while i < len(data):
        if data[i] == 13:
            lines.append(data[start:i])
            if data[i + 1:i + 2] == b"\n":
                i += 1
            start = i + 1
        i += 1
    if start < len(data):
        lines.append(data[start:])
    return [line.rstrip(b" ") for line in lines]


def order_key(entry):
    """The list's order in the C.UTF-8 locale: case-folded characters. Bytes
    that are not UTF-8 are read as Windows-1252."""
    try:
        text = entry.decode("utf-8")
    except UnicodeDecodeError:
        text = entry.decode("cp1252", errors="replace")
    return [ord(c) for c in text.lower()]


def check_saved(path, entries):
    """The saved file holds every entry once per line, each followed by
    CR LF, in order; entries that compare equal may come either way."""
    with open(path, "rb") as f:
        data = f.read()
    if data and not data.endswith(b"\r\n"):
        raise E2EFailure(f"{path}: the last line does not end in CR LF")
    saved = data.split(b"\r\n")[:-1] if data else []
    if collections.Counter(saved) != collections.Counter(entries):
        missing = collections.Counter(entries) - collections.Counter(saved)
        extra = collections.Counter(saved) - collections.Counter(entries)
        raise E2EFailure(f"{path}: {len(saved)} lines saved, {len(entries)} expected; "
                         f"missing {_show(missing)}, unexpected {_show(extra)}")
    keys = [order_key(e) for e in saved]
    for i in range(1, len(keys)):
        if keys[i - 1] > keys[i]:
            raise E2EFailure(f"{path}: line {i + 1} {saved[i][:40]!r} comes after "
                             f"{saved[i - 1][:40]!r}, out of order")
    log(f"{os.path.basename(path)}: {len(saved)} lines, in order")


def _show(counter):
    items = [repr(k[:40]) for k in list(counter.elements())[:5]]
    return "[" + ", ".join(items) + (" ...]" if sum(counter.values()) > 5 else "]")
