"""What every part of the end-to-end tests shares: the program's window
titles, the failure they raise, their log, and waits that are always
bounded."""

import time

DEFAULT_TIMEOUT = 20.0
POLL = 0.05

MAIN_TITLE = "Lexivorn v1.0"
OPEN_TITLE = "Open file to alphabetize..."
SAVE_TITLE = "Save file as..."

# The seven items of the menu bar, left to right.
MENU_ITEMS = ["Open", "|", "Save", "|", "Exit", "|", "About"]


class E2EFailure(Exception):
    pass


def log(*args):
    print("[e2e]", *args, flush=True)


def wait_until(predicate, what, timeout=DEFAULT_TIMEOUT):
    """Polls predicate until it returns something truthy; returns that."""
    deadline = time.monotonic() + timeout
    while True:
        result = predicate()
        if result:
            return result
        if time.monotonic() >= deadline:
            raise E2EFailure(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(POLL)

