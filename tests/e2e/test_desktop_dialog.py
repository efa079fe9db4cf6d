"""The desktop's own dialogs (GTK's, as under XFCE or GNOME without a
portal). Saving: a name typed without ".txt" is saved with it, and when that
file exists the program asks before writing over it; No goes back to the
dialog, and nothing is written. Where the name typed exists as well as its
".txt", there is one question, the dialog's own, about the file that is then
written. Opening: cancelled after entering a folder, the dialog leaves the
keyboard in the main window, every time."""

import glob
import os
import sys

import person
import x11session as xs
from x11session import E2EFailure, log, wait_until

GTK_THEME = "/usr/lib/*/qt6/plugins/platformthemes/libqgtk3.so"


def run(s):
    if not glob.glob(GTK_THEME):
        raise E2EFailure(f"Qt's GTK platform theme ({GTK_THEME}) is missing: "
                         "bash scripts/install-deps.sh test installs it")
    files = os.path.join(s.tmp, "lists")
    os.makedirs(files)
    named = os.path.join(files, "named.txt")
    with open(named, "wb") as f:
        f.write(b"pear\r\nKiwi\r\n")
    victim = os.path.join(files, "victim.txt")
    with open(victim, "wb") as f:
        f.write(b"keep me\r\n")

    s.start_program(named, env={"QT_QPA_PLATFORMTHEME": "gtk3"})
    prompt = s.wait_window("Finished", person.PROGRESS_TIMEOUT)
    s.main_window = s.wait_window(xs.MAIN_TITLE)
    s.key(prompt, "y")
    dialog = s.wait_window(xs.SAVE_TITLE)
    s.key(dialog, "ctrl+a")
    s.type_text(dialog, "victim")
    s.key(dialog, "Return")

    def question():
        s.expect_running()
        if s.visible_windows("Finished"):
            raise E2EFailure('"Finished" without a question: victim.txt was written over')
        return [w for w in s.visible_windows(xs.SAVE_TITLE) if w != dialog]
    box = wait_until(question, "the question whether to replace victim.txt")[0]
    s.screenshot("replace-question")
    s.key(box, "n")
    s.wait_gone(box, what="the question to close")
    with open(victim, "rb") as f:
        if f.read() != b"keep me\r\n":
            raise E2EFailure("victim.txt changed after No")
    log("the GTK dialog's name without .txt: asked about victim.txt, No kept it")

    # No brings the dialog back. "both" typed where both and both.txt exist.
    dialog = wait_until(lambda: [w for w in s.visible_windows(xs.SAVE_TITLE) if w != dialog],
                        "the save dialog back after No")[0]
    both = os.path.join(files, "both")
    for path in (both, both + ".txt"):
        with open(path, "wb") as f:
            f.write(b"keep me\r\n")
    replace_both(s, dialog, both)

    menu = person.Menu(s)
    for attempt in range(3):
        cancel_in_folder(s, menu, files)

    menu.press("Exit")
    if s.wait_exit() != 0:
        raise E2EFailure("Exit did not end with status 0")


def replace_both(s, dialog, both):
    """One question, about the file written: GTK's own about "both". Its
    Cancel loses nothing; its Replace writes "both" and leaves both.txt."""
    def kept():
        for path in (both, both + ".txt"):
            with open(path, "rb") as f:
                if f.read() != b"keep me\r\n":
                    raise E2EFailure(f"{os.path.basename(path)} was written over")

    def question():
        s.expect_running()
        if s.visible_windows("Finished"):
            raise E2EFailure('"Finished" without a question: both was written over')
        return [w for w in s.visible_windows() if w not in (s.main_window, dialog)]
    s.key(dialog, "ctrl+a")
    s.type_text(dialog, "both")
    s.key(dialog, "Return")
    box = wait_until(question, 'the question whether to replace "both"')[0]
    s.screenshot("replace-both-question")
    s.key(box, "Escape")
    s.wait_gone(box, what="the question to close on Escape")
    kept()
    s.key(dialog, "Return")
    box = wait_until(question, 'the question whether to replace "both", again')[0]
    s.key(box, "alt+r")

    def saved():
        s.expect_running()
        second = [w for w in s.visible_windows(xs.SAVE_TITLE) if w != dialog]
        if second:
            s.screenshot("second-question")
            raise E2EFailure("a second question followed the dialog's own")
        return s.visible_windows("Finished")
    wait_until(saved, 'the "Finished" box after Replace')
    person.answer_message(s, "Finished")
    with open(both, "rb") as f:
        if f.read() != b"Kiwi\r\npear\r\n":
            raise E2EFailure("both does not hold the list after Replace")
    with open(both + ".txt", "rb") as f:
        if f.read() != b"keep me\r\n":
            raise E2EFailure("both.txt changed, though the question was about both")
    log('"both" where both.txt exists too: one question, about both, which was written')


def cancel_in_folder(s, menu, folder):
    """The open dialog enters a folder typed with Return, then is cancelled:
    the keyboard is back in the main window."""
    menu.click("Open")
    dialog = s.wait_window(xs.OPEN_TITLE)
    s.type_text(dialog, folder + "/")
    s.key(dialog, "Return")
    person.cancel_dialog(s, xs.OPEN_TITLE)
    log("the open dialog cancelled in a folder gave the keyboard back")


if __name__ == "__main__":
    sys.exit(xs.main(run, "desktop-dialog"))
