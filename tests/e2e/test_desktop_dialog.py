"""The save through the desktop's own dialog (GTK's, as under XFCE or GNOME
without a portal): a name typed without ".txt" is saved with it, and when
that file exists the program asks before writing over it; No goes back to
the dialog, and nothing is written."""

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
    # No goes back to the dialog, which the person then cancels.
    person.cancel_dialog(s, xs.SAVE_TITLE)
    with open(victim, "rb") as f:
        if f.read() != b"keep me\r\n":
            raise E2EFailure("victim.txt changed after No")
    log("the GTK dialog's name without .txt: asked about victim.txt, No kept it")

    person.Menu(s).press("Exit")
    if s.wait_exit() != 0:
        raise E2EFailure("Exit did not end with status 0")


if __name__ == "__main__":
    sys.exit(xs.main(run, "desktop-dialog"))
