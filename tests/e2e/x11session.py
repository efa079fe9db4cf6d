"""Drives the real Lexivorn program on a private virtual display.

A session starts Xvfb (it picks a free display itself through -displayfd),
a window manager on it (openbox unless told otherwise; those that want one
get a private session bus), and then the program with a private HOME and
runtime directory, so nothing of the machine's own desktop leaks in: no
native dialogs (QT_QPA_PLATFORMTHEME is empty), no settings, no other
windows.

The program runs under LANG=C.UTF-8. That locale exists on every Debian
machine without locale-gen, and in it the list orders entries by their
case-folded characters, which the tests can predict exactly.

Every wait is bounded: we poll with a deadline and fail with a message
saying what we waited for. Every process we start is ended by its PID when
the session closes, on success, failure or a signal; the children also get
SIGTERM from the kernel if this script dies without cleaning up.

Only the Python standard library and the command-line X tools (xdotool,
wmctrl, xdpyinfo, xprop, imagemagick's import) are used, and the X library
that xdotool brings, through ctypes, to find a key's keycode.

What the session finds of the program's windows, and its pictures of them,
are in x11windows.py; the titles, the failure, the log and the bounded wait
that every script shares are in e2ecommon.py, and are imported from here.
"""

import ctypes
import os
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time

# The scripts import the shared names from here.
from e2ecommon import (DEFAULT_TIMEOUT, MAIN_TITLE, MENU_ITEMS, OPEN_TITLE,  # noqa: F401
                       POLL, SAVE_TITLE, E2EFailure, log, wait_until)
from x11windows import Windows


# How each window manager is started on the display, and whether it needs a
# session bus.
WINDOW_MANAGERS = {
    "openbox": (["openbox", "--sm-disable"], False),
    "xfwm4": (["xfwm4", "--compositor=off", "--sm-client-disable"], True),
    "icewm": (["icewm"], False),
    "mutter": (["mutter", "--x11", "--replace", "--sm-disable"], True),
    "kwin": (["kwin_x11", "--replace"], True),
}


def _die_with_parent():
    # Runs in the child between fork and exec: ask the kernel to send us
    # SIGTERM when the test process goes away, even by SIGKILL.
    try:
        libc = ctypes.CDLL("libc.so.6", use_errno=True)
        libc.prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
    except OSError:
        pass


class Session(Windows):
    def __init__(self, program, artifacts_dir, name, screen="1280x1024", wm="openbox"):
        self.program = os.path.abspath(program)
        self.screen_size = screen
        self.wm = wm
        self.artifacts = os.path.abspath(os.path.join(artifacts_dir, name))
        self.tmp = tempfile.mkdtemp(prefix=f"lexivorn-e2e-{name}-")
        self.display = None
        self.env = None
        self._procs = []  # (label, Popen) in start order
        self.app = None
        self.main_window = None
        shutil.rmtree(self.artifacts, ignore_errors=True)
        os.makedirs(self.artifacts)

    # ---- lifetime -------------------------------------------------------

    def __enter__(self):
        self._old_handlers = {}
        for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            self._old_handlers[sig] = signal.signal(sig, self._on_signal)
        try:
            self._start_display()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, exc_type, exc, tb):
        if exc is not None and self.display is not None:
            self.screenshot("failure")
        self.close()
        return False

    def _on_signal(self, signum, frame):
        self.close()
        sys.exit(128 + signum)

    def _spawn(self, label, argv, preexec_fn=_die_with_parent, **kwargs):
        log_path = os.path.join(self.artifacts, f"{label}.log")
        out = open(log_path, "ab")
        # Signals this script ignores (Python ignores SIGXFSZ) are set back
        # to their defaults in the child, so the program meets them as it
        # would anywhere else.
        proc = subprocess.Popen(argv, stdout=out, stderr=subprocess.STDOUT,
                                stdin=subprocess.DEVNULL, restore_signals=True,
                                preexec_fn=preexec_fn, **kwargs)
        out.close()
        self._procs.append((label, proc))
        return proc

    def _stop(self, label, proc, grace=5.0):
        if proc.poll() is not None:
            return
        proc.terminate()
        try:
            proc.wait(grace)
        except subprocess.TimeoutExpired:
            log(f"{label} (pid {proc.pid}) ignored SIGTERM; killing it")
            proc.kill()
            proc.wait(grace)

    def close(self):
        while self._procs:
            label, proc = self._procs.pop()
            self._stop(label, proc)
        shutil.rmtree(self.tmp, ignore_errors=True)
        for sig, handler in getattr(self, "_old_handlers", {}).items():
            signal.signal(sig, handler)
        self._old_handlers = {}

    def _start_display(self):
        read_fd, write_fd = os.pipe()
        try:
            self._spawn("xvfb", ["Xvfb", "-displayfd", str(write_fd),
                                 "-screen", "0", f"{self.screen_size}x24", "-dpi", "96",
                                 "-nolisten", "tcp", "-noreset"],
                        pass_fds=(write_fd,))
        finally:
            os.close(write_fd)
        number = b""
        deadline = time.monotonic() + DEFAULT_TIMEOUT
        with os.fdopen(read_fd, "rb") as pipe:
            os.set_blocking(pipe.fileno(), False)
            while not number.endswith(b"\n"):
                if time.monotonic() >= deadline:
                    raise E2EFailure("Xvfb did not report a display number")
                chunk = pipe.read()
                if chunk:
                    number += chunk
                elif self._procs[0][1].poll() is not None:
                    raise E2EFailure("Xvfb ended before reporting its display")
                else:
                    time.sleep(POLL)
        self.display = ":" + number.decode().strip()
        home = os.path.join(self.tmp, "home")
        runtime = os.path.join(self.tmp, "runtime")
        os.makedirs(home)
        os.makedirs(runtime, mode=0o700)
        self.env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "DISPLAY": self.display,
            "HOME": home,
            "XDG_RUNTIME_DIR": runtime,
            "XDG_CONFIG_HOME": os.path.join(home, ".config"),
            "LANG": "C.UTF-8",
            "QT_QPA_PLATFORM": "xcb",
            "QT_QPA_PLATFORMTHEME": "",
            "QT_ACCESSIBILITY": "0",
            "NO_AT_BRIDGE": "1",
        }
        wait_until(lambda: self._tool_ok(["xdpyinfo"]), f"Xvfb on {self.display}")
        log(f"Xvfb answers on {self.display}")
        argv, needs_bus = WINDOW_MANAGERS[self.wm]
        wm_env = dict(self.env)
        if needs_bus:
            bus = os.path.join(runtime, "bus")
            self._spawn("dbus", ["dbus-daemon", "--session", "--nofork", "--nopidfile",
                                 f"--address=unix:path={bus}"], env=self.env, cwd=home)
            wait_until(lambda: os.path.exists(bus), "the session bus")
            wm_env["DBUS_SESSION_BUS_ADDRESS"] = f"unix:path={bus}"
        self._spawn(self.wm, argv, env=wm_env, cwd=home)
        wait_until(lambda: self._tool_ok(["wmctrl", "-m"]), f"{self.wm} to manage the display")
        log(f"{self.wm} runs")

    def _tool_ok(self, argv):
        return subprocess.run(argv, env=self.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=10).returncode == 0

    def x(self, *argv, check=True):
        """Runs an X tool on our display and returns its standard output."""
        done = subprocess.run(list(argv), env=self.env, capture_output=True,
                              timeout=DEFAULT_TIMEOUT)
        if check and done.returncode != 0:
            raise E2EFailure(f"{' '.join(argv)} failed ({done.returncode}): "
                             f"{done.stderr.decode(errors='replace').strip()}")
        return done.stdout.decode(errors="replace")

    # ---- the program ----------------------------------------------------

    def start_program(self, *files, limits=(), env=None):
        """Starts the program, naming files on its command line if given;
        limits are (resource, soft limit) pairs that the child sets on
        itself before it runs the program, env variables to set for it.
        Without files, returns the main window once it is shown; with them
        the main window hides at once for the first Open, so the caller
        waits for what that shows."""
        def limited():
            _die_with_parent()
            for which, soft in limits:
                resource.setrlimit(which, (soft, resource.getrlimit(which)[1]))
        self.app = self._spawn("lexivorn", [self.program, *files], env={**self.env, **(env or {})},
                               cwd=self.env["HOME"], preexec_fn=limited)
        if files:
            self.main_window = None
            return None
        self.main_window = self.wait_window(MAIN_TITLE)
        log(f"main window {self.main_window} is shown")
        self.expect_focus(self.main_window, "at start")
        return self.main_window

    def start_other_program(self):
        """Another program's window, centred over the program's: xmessage,
        which x11-utils brings."""
        proc = self._spawn("xmessage", ["xmessage", "-center", "Another program's window"],
                           env=self.env, cwd=self.env["HOME"])

        def shown():
            # xmessage names no process on its window; its class tells it.
            out = self.x("xdotool", "search", "--onlyvisible", "--class", "Xmessage",
                         check=False).split()
            return int(out[0]) if out else None
        return proc, wait_until(shown, "another program's window")

    def stop_other_program(self, other):
        self._stop("xmessage", other[0])

    def program_running(self):
        return self.app is not None and self.app.poll() is None

    def wait_exit(self, timeout=DEFAULT_TIMEOUT):
        try:
            return self.app.wait(timeout)
        except subprocess.TimeoutExpired:
            raise E2EFailure(f"the program did not end within {timeout:.0f} s")

    def expect_running(self):
        if not self.program_running():
            raise E2EFailure(f"the program ended unexpectedly with status {self.app.returncode}")


REQUIRED_TOOLS = ["Xvfb", "xdotool", "wmctrl", "xdpyinfo", "xwininfo", "xmessage", "import"]
SKIP = 77


def main(run, name, screen="1280x1024"):
    """Entry of a test script: argv is the program, the folder for the
    pictures and logs, and optionally the window manager (openbox), on a
    virtual screen of the given size. Returns the exit status for CTest
    (77: skipped)."""
    if len(sys.argv) not in (3, 4) or sys.argv[3:] and sys.argv[3] not in WINDOW_MANAGERS:
        print(f"usage: {sys.argv[0]} <lexivorn program> <artifacts folder> "
              f"[{'|'.join(WINDOW_MANAGERS)}]", file=sys.stderr)
        return 2
    program, artifacts = sys.argv[1], sys.argv[2]
    wm = sys.argv[3] if len(sys.argv) == 4 else "openbox"
    argv, needs_bus = WINDOW_MANAGERS[wm]
    tools = REQUIRED_TOOLS + [argv[0]] + (["dbus-daemon"] if needs_bus else [])
    missing = [t for t in tools if shutil.which(t) is None]
    if missing:
        print(f"SKIP: missing {', '.join(missing)} (bash scripts/install-deps.sh test installs "
              "them; desktops installs the others)")
        return SKIP
    if wm != "openbox":
        name = f"{name}-{wm}"
    started = time.monotonic()
    try:
        with Session(program, artifacts, name, screen, wm) as session:
            run(session)
            if session.program_running():
                raise E2EFailure("the program is still running at the end of the test")
    except E2EFailure as failure:
        print(f"FAIL: {failure}", flush=True)
        print(f"pictures and logs: {os.path.join(os.path.abspath(artifacts), name)}")
        return 1
    log(f"PASS in {time.monotonic() - started:.1f} s")
    return 0
