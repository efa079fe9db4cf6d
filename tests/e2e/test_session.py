"""A person's whole session through the real dialogs: two Opens merged, a
menu Save to a name without ".txt", an Open answered Yes with a save, a
cancelled Open, a read held up and given up with Escape, the main window
covered by another program's and brought back with Alt+Tab, About, and Exit
while the given-up read still waits. Then a file named on the command line,
opened and saved from the prompt; 40 files named at once, one Open; and
names after "--" with missing ones among them. Saves the pictures a person would look
at."""

import os
import sys

import person
import x11session as xs
from x11session import E2EFailure, log, wait_until


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
    return path


def run(s):
    files = os.path.join(s.tmp, "my lists")
    os.makedirs(files)
    fruit = write(os.path.join(files, "fruit.txt"), b"pear\r\nApple\r\nbanana\r\n")
    more = write(os.path.join(files, "more.txt"), b"cherry\r\napricot")
    last = write(os.path.join(files, "last.txt"), b"Zucchini\r\n")
    # Reads of slow.txt wait while the marker is there, as on a slow disk,
    # two minutes at most.
    slow = write(os.path.join(files, "slow.txt"), b"never\r\nlisted\r\n")
    marker = write(os.path.join(s.tmp, "hold slow.txt"), b"")
    held = {"LD_PRELOAD": os.environ["LEXIVORN_HELDREAD"], "LEXIVORN_HOLD_FILE": slow,
            "LEXIVORN_HOLD_WHILE": marker, "LEXIVORN_HOLD_LIMIT": "120000"}

    s.start_program(env=held)
    menu = person.Menu(s)
    # No taskbar button where the window manager's Alt+Tab lists a window
    # without one; elsewhere the window keeps its button and its place there.
    off_taskbar = "_NET_WM_STATE_SKIP_TASKBAR" in s.x("xprop", "-id", str(s.main_window),
                                                      "_NET_WM_STATE")
    if off_taskbar != (s.wm in ("icewm", "kwin")):
        raise E2EFailure(f"under {s.wm} the main window is "
                         f"{'off' if off_taskbar else 'on'} the taskbar")

    # Nothing to save yet: a message and no dialog. The keyboard reaches
    # the menu at once, by F10 as by Alt.
    menu.press("Save", key="F10")
    person.answer_message(s, "Error")
    if s.visible_windows(xs.SAVE_TITLE):
        raise E2EFailure("Save with an empty list showed the save dialog")

    prompt = person.open_file(s, menu, fruit, shot_progress="progress-window")
    s.screenshot("finished-prompt")
    person.answer_no(s, prompt)
    prompt = person.open_file(s, menu, more)
    person.answer_no(s, prompt)
    s.screenshot("main-window-with-list", s.main_window)

    # The first Save starts in the folder of the lists opened, so a bare name
    # lands there; the save dialog adds the ".txt" the person left out.
    person.menu_save(s, menu, "merged")
    saved = os.path.join(files, "merged.txt")
    if not os.path.exists(saved):
        raise E2EFailure(f"no {saved} after saving to a name without .txt: "
                         f"{sorted(os.listdir(files))}")
    expected = b"Apple\r\napricot\r\nbanana\r\ncherry\r\npear\r\n"
    with open(saved, "rb") as f:
        got = f.read()
    if got != expected:
        raise E2EFailure(f"merged.txt holds {got!r}, expected {expected!r}")
    log("merged.txt holds the five lines in order")

    # Open again and answer Yes: the prompted save writes all six.
    prompt = person.open_file(s, menu, last)
    answered = os.path.join(files, "all of it.txt")
    person.answer_yes_and_save(s, prompt, answered)
    with open(answered, "rb") as f:
        got = f.read()
    if got != expected + b"Zucchini\r\n":
        raise E2EFailure(f"all of it.txt holds {got!r}")
    log("the prompted save wrote the six lines in order")

    # A cancelled Open changes nothing: no progress window, no prompt, the
    # main window stays, and the list is as it was.
    before = sorted(os.listdir(files))
    menu.click("Open")
    person.cancel_dialog(s, xs.OPEN_TITLE)
    def only_main():
        return s.visible_windows() == [s.main_window]
    s.holds(only_main, "another window is shown after a cancelled Open")
    # A cancelled Save writes nothing and claims nothing.
    menu.click("Save")
    person.cancel_dialog(s, xs.SAVE_TITLE)
    s.holds(only_main, "another window is shown after a cancelled Save")
    # A read that keeps the person waiting is given up with Escape; it goes
    # on, held, until the program ends.
    person.give_up_held_read(s, menu, slow)
    person.switch_back_with_alt_tab(s, s.main_window, "the main window")
    person.menu_save(s, menu, answered, overwrite=True)
    with open(answered, "rb") as f:
        if f.read() != expected + b"Zucchini\r\n":
            raise E2EFailure("the list changed after a cancelled Open or a given-up read")
    if sorted(os.listdir(files)) != before:
        raise E2EFailure("a cancelled Open or the overwrite left new files behind")
    log("a cancelled Open, a cancelled Save and a given-up read changed nothing")

    menu.click("About")
    person.answer_message(s, "About Lexivorn v1.0", shot="about-box")

    # Exit ends the program at once, though the given-up read still waits.
    menu.press("Exit")
    status = s.wait_exit()
    if status != 0:
        raise E2EFailure(f"Exit ended the program with status {status}")

    # A file named on the command line opens as Open does: the progress
    # window plays, then the prompt, with the main window back behind it.
    named = write(os.path.join(files, "named.txt"), b"plum  \r\nKiwi\r\n")
    s.start_program(named)
    wait_until(lambda: person.progress_windows(s), "the progress window for a named file")
    prompt = s.wait_window("Finished", person.PROGRESS_TIMEOUT)
    s.main_window = s.wait_window(xs.MAIN_TITLE)
    named_saved = os.path.join(files, "named sorted.txt")
    person.answer_yes_and_save(s, prompt, named_saved)
    with open(named_saved, "rb") as f:
        got = f.read()
    if got != b"Kiwi\r\nplum\r\n":
        raise E2EFailure(f"the file named on the command line was saved as {got!r}")
    log("a file named on the command line was opened, sorted and saved")
    person.Menu(s).click("Exit")
    if s.wait_exit() != 0:
        raise E2EFailure("Exit after a named file did not end with status 0")

    named_batch(s, files)
    batch_with_missing_names(s, files)


def named_batch(s, files):
    """40 files on one command line, as a file manager's "Open With" gives
    them, are one Open: one progress sequence and one prompt, then the main
    window with Exit in reach."""
    batch = os.path.join(s.tmp, "forty")
    os.makedirs(batch)
    paths = [write(os.path.join(batch, f"list {i:02d}.txt"), f"entry {39 - i:02d}\r\n".encode())
             for i in range(40)]
    s.start_program(*paths)
    wait_until(lambda: person.progress_windows(s), "the progress window for 40 named files")
    prompt = s.wait_window("Finished", person.PROGRESS_TIMEOUT)
    s.main_window = s.wait_window(xs.MAIN_TITLE)
    saved = os.path.join(files, "forty sorted.txt")
    person.answer_yes_and_save(s, prompt, saved)
    person.check_saved(saved, [f"entry {i:02d}".encode() for i in range(40)])
    s.holds(lambda: s.visible_windows() == [s.main_window],
            "a second progress sequence or prompt followed the one for 40 files", seconds=8)
    log("40 named files: one progress sequence, one prompt, all 40 entries")
    person.Menu(s).click("Exit")
    if s.wait_exit() != 0:
        raise E2EFailure("Exit after 40 named files did not end with status 0")


def batch_with_missing_names(s, files):
    """After "--" every argument names a file, even one that looks like an
    option of Qt's: those that are missing are told in one "Error" box, and
    the files that were read are in the list."""
    fruit = os.path.join(files, "fruit.txt")
    more = os.path.join(files, "more.txt")
    s.start_program("--", "-display", fruit, "-platform", "-stylesheet", more)
    s.main_window = s.wait_window(xs.MAIN_TITLE, person.PROGRESS_TIMEOUT)
    person.answer_message(s, "Error")
    s.holds(lambda: s.visible_windows() == [s.main_window],
            "another box or a progress window followed the one Error box")
    saved = os.path.join(files, "named with missing.txt")
    person.menu_save(s, person.Menu(s), saved)
    person.check_saved(saved, [b"Apple", b"apricot", b"banana", b"cherry", b"pear"])
    log('names after "--" opened as files; the missing ones told in one box')
    person.Menu(s).click("Exit")
    if s.wait_exit() != 0:
        raise E2EFailure("Exit after a batch with missing files did not end with status 0")


if __name__ == "__main__":
    sys.exit(xs.main(run, "session"))
