"""Files a person really has, through the real program: each opened, the
list saved, and the saved bytes checked. The program keeps running across
the table, so the list must add up after every step; the refusals must
leave it as it was and let the next Open work.

Every entry starts with a short ASCII tag naming its case, so the order of
the saved file is plain whatever the rest of the line holds."""

import os
import random
import resource
import sys
import time

import person
import x11session as xs
from x11session import E2EFailure, log

MB = 1024 * 1024

# (case, bytes in the file, the entries they give). Every group below is one
# file: its cases are joined in order, so each but the last ends its lines.
LINE_ENDS_AND_SPACES = [
    ("windows CR LF", b"a-crlf one\r\na-crlf two\r\n", [b"a-crlf one", b"a-crlf two"]),
    ("classic Mac CR", b"b-cr one\rb-cr two\r", [b"b-cr one", b"b-cr two"]),
    ("mixed CR and CR LF", b"c-mixed one\rc-mixed two\r\nc-mixed three\r",
     [b"c-mixed one", b"c-mixed two", b"c-mixed three"]),
    ("blank lines", b"d-before\r\n\r\n\r\nd-after\r\n", [b"d-before", b"", b"", b"d-after"]),
    ("spaces only", b"   \r\n \r", [b"", b""]),
    ("leading spaces", b"  e-indented\r\n", [b"  e-indented"]),
    ("trailing spaces and tabs", b"f-spaces   \r\nf-tab\t\r\nf-tab space\t  \r\n",
     [b"f-spaces", b"f-tab\t", b"f-tab space\t"]),
    ("no final line end", b"g-last", [b"g-last"]),
]

TEXT_ENCODINGS = [
    ("UTF-8 with a byte-order mark", b"\xef\xbb\xbfh-bom first\r\n", [b"h-bom first"]),
    ("UTF-8 accents", "i-accents café naïve Ærøskøbing\r\n".encode(),
     ["i-accents café naïve Ærøskøbing".encode()]),
    ("UTF-8 other scripts", "j-scripts Ελληνικά русский 日本語 עברית 🙂\r\n".encode(),
     ["j-scripts Ελληνικά русский 日本語 עברית 🙂".encode()]),
    ("Windows-1252 bytes", b"k-cp1252 caf\xe9 \x80 \x93quoted\x94\r\n",
     [b"k-cp1252 caf\xe9 \x80 \x93quoted\x94"]),
    ("invalid UTF-8", b"l-invalid \xc3\x28 \xff\xfe \xed\xa0\x80\r\n",
     [b"l-invalid \xc3\x28 \xff\xfe \xed\xa0\x80"]),
    ("NUL inside a line", b"m-nul\x00inside\r\n", [b"m-nul\x00inside"]),
    ("byte 26 inside a line", b"n-sub\x1ainside\r\n", [b"n-sub\x1ainside"]),
    ("a line of 10 MB", b"o-long " + b"w" * (10 * MB) + b"\r\n", [b"o-long " + b"w" * (10 * MB)]),
]

LF_ONLY = [
    ("LF-only line ends: one entry", b"p-lf one\np-lf two\np-lf three\n",
     [b"p-lf one\np-lf two\np-lf three\n"]),
]

AFTER_THE_REFUSALS = [("a further Open", b"q-works\r\n", [b"q-works"])]


def group_file(folder, name, cases):
    data = b"".join(case[1] for case in cases)
    path = os.path.join(folder, name)
    with open(path, "wb") as f:
        f.write(data)
    entries = [e for case in cases for e in case[2]]
    # The test's own reading of the rules must agree with the table.
    if person.file_lines(data) != entries:
        raise E2EFailure(f"the table for {name} contradicts itself")
    return path, entries


def numbered_lines(count, seed):
    words = [f"{'Rr'[i % 2]}ow {i:05d}".encode() for i in range(count)]
    random.Random(seed).shuffle(words)
    return b"".join(w + b"\r\n" for w in words), words


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
    return path


class Table:
    """One program run, with the list the test expects it to hold."""

    def __init__(self, s, folder):
        self.s = s
        self.menu = person.Menu(s)
        self.folder = folder
        self.entries = []
        self.saves = 0

    def save_path(self):
        self.saves += 1
        return os.path.join(self.folder, f"saved {self.saves:02d}.txt")

    def opened(self, name, path, entries, shot=None):
        log(f"--- {name}")
        prompt = person.open_file(self.s, self.menu, path)
        self.entries += entries
        saved = self.save_path()
        person.answer_yes_and_save(self.s, prompt, saved)
        if shot:
            self.s.screenshot(shot, self.s.main_window)
        person.check_saved(saved, self.entries)

    def list_unchanged(self, why):
        saved = self.save_path()
        person.menu_save(self.s, self.menu, saved)
        person.check_saved(saved, self.entries)
        log(f"list unchanged after {why}")

    def refused(self, name, path):
        log(f"--- {name}: refused")
        person.open_refused(self.s, self.menu, path)

    def not_accepted_by_dialog(self, name, path):
        """Names the open dialog itself will not hand over (a missing file, a
        folder). Whatever the dialog does, nothing may reach the list."""
        log(f"--- {name}")
        s = self.s
        self.menu.click("Open")
        dialog = s.wait_window(xs.OPEN_TITLE)
        s.key(dialog, "ctrl+a")
        s.type_text(dialog, path)
        s.key(dialog, "Return")
        typed_at = time.monotonic()
        outcome = xs.wait_until(lambda: _after_typed_name(s, dialog, typed_at),
                                f"the dialog to answer {path}")
        if outcome == "dialog warns":
            warning = [w for w in s.visible_windows(xs.OPEN_TITLE) if w != dialog][0]
            s.key(warning, "Return")
            s.wait_gone(warning, what="the dialog's warning to close")
            outcome = "the dialog warned"
        if outcome == "error box":
            person.answer_message(s, "Error")
            outcome = 'the program showed "Error"'
        elif s.is_visible(dialog):
            person.cancel_dialog(s, xs.OPEN_TITLE)
        log(f"{name}: {outcome}")
        xs.wait_until(lambda: s.visible_windows() == [s.main_window],
                      "the main window alone after the refused name")


def _after_typed_name(s, dialog, typed_at):
    s.expect_running()
    if s.visible_windows("Error"):
        return "error box"
    shown = s.visible_windows(xs.OPEN_TITLE)
    if [w for w in shown if w != dialog]:
        return "dialog warns"
    if dialog not in shown:
        if person.progress_windows(s):
            raise E2EFailure("the program read a name the dialog should not accept")
        return None
    # The dialog stays open (it went into the folder): give it a moment to
    # show a warning instead, then take that as its answer.
    if time.monotonic() - typed_at > 1.5:
        return "the dialog stayed open"
    return None


def first_run(s, folder):
    t = Table(s, folder)
    s.start_program()

    path, entries = group_file(folder, "line ends and spaces.txt", LINE_ENDS_AND_SPACES)
    t.opened("line ends, blank lines and spaces", path, entries)
    path, entries = group_file(folder, "encodings.txt", TEXT_ENCODINGS)
    t.opened("text encodings, NUL, byte 26 and a 10 MB line", path, entries,
             shot="main-window-hostile-list")
    path, entries = group_file(folder, "lf only.txt", LF_ONLY)
    t.opened("LF-only line ends", path, entries)

    special = os.path.join(folder, "special")
    os.makedirs(special)
    fifo = os.path.join(special, "fifo.txt")
    os.mkfifo(fifo)
    t.refused("a FIFO", fifo)
    utf16 = write(os.path.join(special, "utf16.txt"),
                  b"\xff\xfe" + "r-utf16 one\r\nr-utf16 two\r\n".encode("utf-16-le"))
    t.refused("a UTF-16 file", utf16)
    utf16_bare = write(os.path.join(special, "utf16 bare.txt"),
                       "r-utf16 one\r\nr-utf16 two\r\n".encode("utf-16-be"))
    t.refused("a UTF-16 file without a byte-order mark", utf16_bare)
    if os.geteuid() != 0:
        locked = write(os.path.join(special, "no access.txt"), b"t-locked\r\n")
        os.chmod(locked, 0)
        t.refused("a file without read access", locked)
    too_long, _ = numbered_lines(32768, 1)
    t.refused("32768 lines", write(os.path.join(folder, "32768 lines.txt"), too_long))
    fits_alone, _ = numbered_lines(32767, 2)
    t.refused("32767 lines into a non-empty list",
              write(os.path.join(folder, "32767 lines.txt"), fits_alone))
    t.not_accepted_by_dialog("a missing file", os.path.join(folder, "no such file.txt"))
    os.makedirs(os.path.join(folder, "a folder.txt"))
    t.not_accepted_by_dialog("a folder", os.path.join(folder, "a folder.txt"))
    t.list_unchanged("the refused files")

    log("--- a save under a path whose parent is a regular file")
    t.menu.click("Save")
    blocked = os.path.join(folder, "lf only.txt", "saved.txt")
    person.choose_file(s, xs.SAVE_TITLE, blocked)
    person.expect_error(s, "a save under a regular file")
    t.list_unchanged("the failed save")

    if os.geteuid() != 0:
        log("--- a save over a read-only file")
        target = write(os.path.join(folder, "read only.txt"), b"keep me\r\n")
        os.chmod(target, 0o444)
        t.menu.click("Save")
        person.choose_file(s, xs.SAVE_TITLE, target, overwrite=True)
        person.expect_error(s, "a save over a read-only file")
        with open(target, "rb") as f:
            if f.read() != b"keep me\r\n":
                raise E2EFailure("a failed save changed the read-only file")
    else:
        log("--- a save over a read-only file: skipped, root writes anyway")

    path, entries = group_file(folder, "after.txt", AFTER_THE_REFUSALS)
    t.opened("a further Open after the refusals", path, entries)
    t.menu.click("Exit")
    if s.wait_exit() != 0:
        raise E2EFailure("Exit did not end with status 0")


def second_run(s, folder):
    t = Table(s, folder)
    s.start_program()
    data, lines = numbered_lines(32767, 3)
    t.opened("exactly 32767 lines", write(os.path.join(folder, "full.txt"), data), lines)
    t.refused("one line more into a full list",
              write(os.path.join(folder, "one more.txt"), b"s-one more\r\n"))
    t.list_unchanged("the overflow")
    t.menu.click("Exit")
    if s.wait_exit() != 0:
        raise E2EFailure("Exit did not end with status 0")


def limits_run(s, folder):
    """The program under a file-size limit, as ulimit -f or LimitFSIZE= set
    it: a save past the limit fails with "Error", keeps the old file whole
    and leaves nothing beside it; the list survives for a save once the
    limit is lifted. Files that never end or that are too large for memory
    are refused with the list unchanged."""
    t = Table(s, folder)
    s.start_program(limits=[(resource.RLIMIT_FSIZE, 64 * 1024)])
    data, lines = numbered_lines(8000, 4)
    path = write(os.path.join(folder, "8000 lines.txt"), data)
    log("--- 8000 lines, about 86 KiB")
    person.answer_no(s, person.open_file(s, t.menu, path))
    t.entries += lines

    log("--- a save past the 64 KiB file-size limit")
    old = write(os.path.join(folder, "old list.txt"), b"old entry\r\n")
    t.menu.click("Save")
    person.choose_file(s, xs.SAVE_TITLE, old, overwrite=True)
    person.expect_error(s, "a save past the file-size limit")
    with open(old, "rb") as f:
        if f.read() != b"old entry\r\n":
            raise E2EFailure("the failed save changed the old file")
    if sorted(os.listdir(folder)) != ["8000 lines.txt", "old list.txt"]:
        raise E2EFailure(f"the failed save left files behind: {os.listdir(folder)}")

    # The dialogs add ".txt" to a name without one; a link reaches the file.
    endless = os.path.join(folder, "endless.txt")
    os.symlink("/proc/self/pagemap", endless)
    t.refused("a system file that never ends", endless)
    huge = os.path.join(folder, "huge.txt")
    with open(huge, "wb") as f:
        f.truncate(1 << 40)  # sparse: it takes no room on disk
    t.refused("a file too large for memory", huge)

    _, hard = resource.prlimit(s.app.pid, resource.RLIMIT_FSIZE)
    resource.prlimit(s.app.pid, resource.RLIMIT_FSIZE, (hard, hard))
    t.list_unchanged("the failed save and the refused files, with the limit lifted")
    t.menu.click("Exit")
    if s.wait_exit() != 0:
        raise E2EFailure("Exit did not end with status 0")


def run(s):
    folder = os.path.join(s.tmp, "files")
    os.makedirs(folder)
    first_run(s, folder)
    second = os.path.join(s.tmp, "files 2")
    os.makedirs(second)
    second_run(s, second)
    third = os.path.join(s.tmp, "files 3")
    os.makedirs(third)
    limits_run(s, third)


if __name__ == "__main__":
    sys.exit(xs.main(run, "hostile-files"))
