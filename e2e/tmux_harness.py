"""A real terminal for whole-program tests: a private tmux server.

Each Terminal runs one command in a pane of an exact size (no status line),
types keys into it, reads the screen and the cursor, and waits for
conditions by polling the screen instead of sleeping for fixed times.

The command runs under a shell that writes its exit status to a file when
it ends: tmux may take seconds to reap a pane's process, the file is there
at once. (Ctrl+C and Ctrl+Z reach that shell too; tests of those run the
program through `exec`, see `exec_program`.)
"""

import os
import shlex
import shutil
import subprocess
import tempfile
import time
import unittest
import uuid


def process_state(pid):
    """The state letter ps shows for `pid` ("Z": ended, not yet reaped), or
    "" once it is gone."""
    shown = subprocess.run(["ps", "-o", "stat=", "-p", str(pid)], capture_output=True, text=True)
    return shown.stdout.strip()[:1]


def child_of(pid):
    """The process whose parent is `pid`."""
    shown = subprocess.run(["ps", "-A", "-o", "pid=", "-o", "ppid="], capture_output=True,
                           text=True, check=True)
    for line in shown.stdout.splitlines():
        child, parent = line.split()
        if int(parent) == pid:
            return int(child)
    raise AssertionError("no child of %d" % pid)


class ScratchDirTestCase(unittest.TestCase):
    """A test whose program runs in a scratch directory of its own, with the
    files the program or the shell around it leave there."""

    maxDiff = None

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="pelorin-tmux-")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.dir, name)

    def read_bytes(self, name):
        try:
            with open(self.path(name), "rb") as f:
                return f.read()
        except FileNotFoundError:
            return b""

    def read(self, name):
        return self.read_bytes(name).decode()

    def wait_file(self, name, timeout=5.0):
        """The file's text once something is in it (a shell writes it)."""
        deadline = time.monotonic() + timeout
        while not self.read(name).strip():
            if time.monotonic() > deadline:
                raise AssertionError("%s never written" % name)
            time.sleep(0.02)
        return self.read(name).strip()


class Terminal:
    # Seconds a wait gives its condition unless it names its own; a slower
    # console (Wine's) sets more.
    patience = 30.0

    def __init__(self, command, cols=80, rows=25, env=None, cwd=None, exec_program=False):
        self.socket = "pelorin-" + uuid.uuid4().hex[:12]
        self.dir = tempfile.mkdtemp(prefix="pelorin-tmux-")
        conf = os.path.join(self.dir, "tmux.conf")
        with open(conf, "w") as f:
            f.write("set -g status off\nset -g remain-on-exit on\n"
                    "set -g default-terminal xterm\nset -g escape-time 0\n"
                    "set -g history-limit 1000\n")
        environment = {"LANG": "C.UTF-8", "LC_ALL": "C.UTF-8", "TERM": "xterm"}
        environment.update(env or {})
        exports = " ".join("%s=%s" % (k, shlex.quote(v)) for k, v in environment.items())
        self.status_file = os.path.join(self.dir, "exit-status")
        # exec_program: the command is one program, which becomes the pane's
        # process (signals and job control reach it alone).
        run = "exec %s" % command
        if not exec_program:
            run = "%s; echo $? > %s" % (command, shlex.quote(self.status_file))
        shell = "cd %s && export %s && %s" % (shlex.quote(cwd or self.dir), exports, run)
        self.tmux("-f", conf, "new-session", "-d", "-s", "t", "-x", str(cols), "-y", str(rows),
                  "sh", "-c", shell)
        self.cols, self.rows = cols, rows

    def tmux(self, *args, check=True):
        return subprocess.run(["tmux", "-u", "-L", self.socket] + list(args),
                              capture_output=True, check=check, text=True).stdout

    # ---- input -------------------------------------------------------------
    def keys(self, *keys):
        """tmux key names (Enter, Left, BSpace, C-c, ...) typed one by one."""
        for k in keys:
            self.tmux("send-keys", "-t", "t", k)

    def type(self, text):
        """Literal text typed into the pane."""
        if text:
            self.tmux("send-keys", "-t", "t", "-l", text)

    def paste(self, text):
        """Text arriving at once, as a terminal sends a paste."""
        self.tmux("set-buffer", "-b", "paste", "--", text)
        self.tmux("paste-buffer", "-d", "-b", "paste", "-t", "t")

    def resize(self, cols, rows):
        """The user makes the window cols x rows."""
        self.tmux("resize-window", "-t", "t", "-x", str(cols), "-y", str(rows))
        self.cols, self.rows = cols, rows
        self.wait(lambda: self.tmux("display-message", "-p", "-t", "t",
                                    "#{pane_width} #{pane_height}").split() ==
                  [str(cols), str(rows)], what="the new size")

    # ---- output ------------------------------------------------------------
    def screen(self):
        """The visible rows, trailing blanks removed."""
        text = self.tmux("capture-pane", "-p", "-t", "t")
        rows = text.split("\n")[:self.rows]
        rows += [""] * (self.rows - len(rows))
        return [r.rstrip() for r in rows]

    def cursor(self):
        """1-based (column, row) of the cursor."""
        x, y = self.tmux("display-message", "-p", "-t", "t", "#{cursor_x} #{cursor_y}").split()
        return int(x) + 1, int(y) + 1

    def dead(self):
        """The program has ended and its exit status is known."""
        return self.exit_status() is not None

    def exit_status(self):
        """The program's exit status (128 + n after signal n), or None."""
        try:
            with open(self.status_file) as f:
                text = f.read().strip()
        except FileNotFoundError:
            text = ""
        if not text:
            s = self.tmux("display-message", "-p", "-t", "t", "#{pane_dead_status}").strip()
            text = s if self.tmux("display-message", "-p", "-t", "t",
                                  "#{pane_dead}").strip() == "1" else ""
        return int(text) if text else None

    def pid(self):
        return int(self.tmux("display-message", "-p", "-t", "t", "#{pane_pid}").strip())

    def wait(self, condition, timeout=None, what="condition"):
        """Polls until condition() is true; raises with the screen otherwise,
        after `timeout` seconds or the terminal's patience."""
        deadline = time.monotonic() + (timeout or self.patience)
        while True:
            if condition():
                return
            if time.monotonic() > deadline:
                raise AssertionError("timed out waiting for %s; screen:\n%s" %
                                     (what, "\n".join(self.screen())))
            time.sleep(0.02)

    def wait_for_text(self, text, timeout=None):
        self.wait(lambda: any(text in row for row in self.screen()), timeout, repr(text))

    def close(self):
        self.tmux("kill-server", check=False)
        subprocess.run(["rm", "-rf", self.dir], check=False)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
