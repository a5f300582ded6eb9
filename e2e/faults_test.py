#!/usr/bin/env python3
"""Whole-program runs under faults and odd surroundings (Linux).

RESULTS.TXT must always be the old file or a complete new one, with nothing
left beside it: when the program is ended by a signal at any write of the
report, when calls on the file fail (strace injects the errors), when two
runs share a directory, when a link or a FIFO has the name, when a standard
stream is closed or non-blocking, when allocations fail (a preloaded shim).
A run that cannot save it says so on standard error and ends with exit 4.

Environment: as scripted_test.py, and PELORIN_ALLOC_SHIM (the shim).
Run one group with: faults_test.py Stalled
"""

import fcntl
import itertools
import os
import pty
import re
import resource
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import termios
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from scripted_test import BANK, PROGRAM, TIMEOUT, lines  # noqa: E402
from dialogue_model import model  # noqa: E402

SCRIPT = lines("ok", "ILE", "80", *["y"] * 54, "ok")
TRANSCRIPT, NEW, _ = model(SCRIPT, BANK)
OLD = b"results of an earlier run\r\n"
PAGE = 4096  # what one buffer of a pipe holds
HELD_LIMIT = 64 * 1024  # output held back beyond this goes out at once
SHIM = os.environ.get("PELORIN_ALLOC_SHIM")
# The leak checker of a sanitizer build cannot work under a tracer.
ENV = {**os.environ, "ASAN_OPTIONS": "detect_leaks=0"}


def in_pipe(fd):
    waiting = bytearray(4)
    fcntl.ioctl(fd, termios.FIONREAD, waiting)
    return int.from_bytes(waiting, sys.byteorder)


class Fault(unittest.TestCase):
    def setUp(self):
        self._dir = tempfile.TemporaryDirectory(prefix="pelorin-faults-")
        self.dir = Path(self._dir.name)
        self.results = self.dir / "RESULTS.TXT"
        self.results.write_bytes(OLD)
        self.addCleanup(self._dir.cleanup)

    def start(self, stdin=SCRIPT, cmd=(), **kw):
        """The program (after `cmd`, a launcher) on `stdin`, bytes or a file."""
        if isinstance(stdin, bytes):
            with tempfile.TemporaryFile() as f:
                f.write(stdin)
                f.seek(0)
                return self.start(f, cmd, **kw)
        kw = {"stdout": subprocess.PIPE, "stderr": subprocess.PIPE, "env": ENV, "cwd": self.dir,
              **kw}
        no_core = lambda: resource.setrlimit(resource.RLIMIT_CORE, (0, 0))  # noqa: E731
        return subprocess.Popen([*cmd, os.path.abspath(PROGRAM)], stdin=stdin,
                                preexec_fn=no_core, **kw)

    def run_script(self, stdin=SCRIPT, cmd=(), **kw):
        p = self.start(stdin, cmd, **kw)
        out, err = p.communicate(timeout=TIMEOUT * 3)
        return p.returncode, out, err

    def assert_old_or_new(self, want=(OLD, NEW)):
        """RESULTS.TXT is one of `want`, with nothing beside it."""
        self.assertIn(self.results.read_bytes(), want)
        self.assertEqual([p.name for p in self.dir.iterdir()], ["RESULTS.TXT"])


def held_up_in_the_report():
    """A script whose output passes the limit of what the program holds back
    inside the report, while the new file waits beside the old one."""
    for n in itertools.count():
        script = lines("ok", "ILE", "80", *["x"] * n, *["y"] * 54, "ok")
        if model(script, BANK)[0].index(b"The more") >= HELD_LIMIT:
            return script


@unittest.skipUnless(hasattr(fcntl, "F_SETPIPE_SZ"), "needs pipes of a chosen size")
class Stalled(Fault):
    """Runs stopped in a write: standard output is a pipe of one page that
    nobody reads. The program holds its output until it waits or ends: given
    all but its last answer, it stops sending what it holds before it waits
    for that answer; given every answer, it stops at its end, after the
    report; given answers that pass the limit of what it holds, inside it."""

    LAST = b"y\nok\n"

    def start_stalled(self, answers):
        r_out, w_out = os.pipe()
        fcntl.fcntl(w_out, fcntl.F_SETPIPE_SZ, PAGE)
        r_in, w_in = os.pipe()
        os.write(w_in, answers)
        # A process group of its own, which a stop stops as it does a job.
        p = self.start(r_in, stdout=w_out, process_group=0)
        os.close(r_in)
        os.close(w_out)
        deadline = time.monotonic() + TIMEOUT
        while in_pipe(r_out) < PAGE:
            self.assertLess(time.monotonic(), deadline, "the page never filled")
            time.sleep(0.001)
        return p, r_out, w_in

    def test_ended_or_stopped_while_stalled_before_in_and_after_the_report(self):
        ending = [signal.SIGTERM, signal.SIGINT, signal.SIGHUP, signal.SIGQUIT, signal.SIGALRM,
                  signal.SIGUSR1, signal.SIGUSR2, signal.SIGXCPU]
        stages = [("before", SCRIPT[:-len(self.LAST)], self.LAST, OLD),
                  ("in", held_up_in_the_report(), b"", OLD), ("after", SCRIPT, b"", NEW)]
        for (stage, answers, rest, want), sig in itertools.product(
                stages, ending + [signal.SIGTSTP, signal.SIGPIPE]):
            with self.subTest(report=stage, signal=sig.name):
                self.results.write_bytes(OLD)
                p, r_out, w_in = self.start_stalled(answers)
                files = sorted(os.listdir(self.dir))
                if sig == signal.SIGPIPE:
                    os.close(r_out)  # the reader goes away
                else:
                    p.send_signal(sig)
                if sig == signal.SIGTSTP:
                    deadline = time.monotonic() + TIMEOUT
                    while Path("/proc/%d/stat" % p.pid).read_text().split(") ")[-1][0] != "T":
                        self.assertLess(time.monotonic(), deadline, "it never stopped")
                        time.sleep(0.001)
                    self.assertEqual(sorted(os.listdir(self.dir)), files, "a stop keeps them")
                    p.send_signal(signal.SIGCONT)
                if sig in ending:
                    # What went out is the transcript's start, in order.
                    self.assertEqual((p.wait(timeout=TIMEOUT), os.read(r_out, PAGE + 1)),
                                     (-sig, model(answers, BANK)[0][:PAGE]))
                    os.close(r_out)
                else:
                    os.write(w_in, rest)
                    if sig == signal.SIGTSTP:  # and, once read, the rest of it
                        with os.fdopen(r_out, "rb") as pipe:
                            self.assertEqual(pipe.read(), model(answers + rest, BANK)[0])
                    self.assertEqual(p.wait(timeout=TIMEOUT), 0)
                    want = NEW
                self.assertEqual(p.stderr.read(), b"")
                p.stderr.close()
                os.close(w_in)
                self.assert_old_or_new([want])

    def test_two_runs_in_one_directory_each_leave_a_complete_file(self):
        first, r_out, w_in = self.start_stalled(SCRIPT[:-len(self.LAST)])
        longer = lines("ok", "ILE" * 40, "99", *["n"] * 54, "ok")
        self.assertEqual(self.run_script(longer)[0], 0)
        self.assertEqual(self.results.read_bytes(), model(longer, BANK)[1])
        os.write(w_in, self.LAST)
        os.close(w_in)
        with os.fdopen(r_out, "rb") as pipe:
            self.assertEqual(pipe.read(), TRANSCRIPT)
        self.assertEqual(first.wait(timeout=TIMEOUT), 0)
        first.stderr.close()
        self.assert_old_or_new([NEW])


@unittest.skipUnless(shutil.which("strace"), "needs strace")
class Surroundings(Fault):
    def file_calls(self, script):
        """strace's numbers of the calls on the results file in a run without
        faults: {syscall: [n-th call of that name, ...]}."""
        log = self.dir.parent / (self.dir.name + ".log")
        trace = ["strace", "-qq", "-o", str(log), "-e", "trace=openat,write,fsync,close,rename"]
        with tempfile.TemporaryDirectory() as d:
            self.assertEqual(self.run_script(script, trace, cwd=d)[0], 0)
        numbers, seen, fd = {}, {}, None
        for name, arg, result in re.findall(r"^(\w+)\((?:AT_FDCWD, )?([^,)]*).*= (-?\d+)$",
                                            log.read_text(), re.M):
            seen[name] = seen.get(name, 0) + 1
            if name == "openat" and "RESULTS.TXT" in arg and int(result) >= 0:
                fd = result
                numbers.setdefault(name, []).append(seen[name])
            elif fd is not None and arg == fd or name == "rename":
                numbers.setdefault(name, []).append(seen[name])
                fd = None if name == "close" else fd
        log.unlink()
        return numbers

    def test_the_file_is_old_or_complete_whatever_surrounds_the_run(self):
        numbers = self.file_calls(SCRIPT)
        elsewhere = self.dir.parent / (self.dir.name + ".elsewhere")  # a collection folder
        elsewhere.mkdir()
        self.addCleanup(shutil.rmtree, elsewhere)
        kept, new = elsewhere / "anna.txt", elsewhere / "ben.txt"

        def failing(call, error, when=0):
            return ["strace", "-qq", "-o", os.devnull, "-e", "trace=" + call, "-e",
                    "inject=%s:error=%s:when=%s" % (call, error, when or numbers[call][0])]

        planted = lambda: (self.dir.chmod(0o1777), self.results.symlink_to(kept),  # noqa: E731
                           os.lchown(self.results, 65534, 65534))  # another user's, sticky folder
        closed = ["sh", "-c", '"$0" >&- 2>&-']
        saved = {self.results: NEW}
        for what, made, cmd, reason, want in [
                ("own link", lambda: self.results.symlink_to(os.path.relpath(kept, self.dir)),
                 [], b"", {self.results: "link", kept: NEW}),
                ("own dangling link", lambda: self.results.symlink_to(new), [], b"",
                 {self.results: "link", new: NEW}),
                *[("planted link", planted, [], b"", saved)] * (os.geteuid() == 0),
                ("FIFO", lambda: os.mkfifo(self.results), [], b"", saved),
                ("closed stdout", None, closed, b"", saved),
                ("no new file in the folder", None, failing("openat", "EACCES"), b"", saved),
                ("file size limit", None, ["sh", "-c", 'ulimit -f 0; exec "$0"'],
                 b"File too large", {}),
                ("folder fsync EIO", None, failing("fsync", "EIO", numbers["fsync"][0] + 1),
                 b"Input/output error", saved),
                ("every temporary name taken", None,
                 failing("openat", "EEXIST", "%d+" % numbers["openat"][0]), b"File exists", {}),
                *[(call + " " + error, None, failing(call, error), reason, {})
                  for call, error, reason in [
                      ("openat", "EROFS", b"Read-only file system"),
                      ("write", "ENOSPC", b"No space left on device"),
                      ("write", "EIO", b"Input/output error"),
                      ("fsync", "EIO", b"Input/output error"),
                      ("close", "EIO", b"Input/output error"),
                      ("close", "EDQUOT", b"Disk quota exceeded"),
                      ("rename", "EACCES", b"Permission denied")]]]:
            with self.subTest(what):
                for p in [self.results, new]:
                    p.unlink(missing_ok=True)
                kept.write_bytes(OLD)
                self.dir.chmod(0o700)
                made() if made else self.results.write_bytes(OLD)
                told = b"pelorin: the results were not saved to RESULTS.TXT: %s\n" % reason
                self.assertEqual(self.run_script(cmd=cmd), (4, TRANSCRIPT, told) if reason else
                                 (0, b"" if cmd == closed else TRANSCRIPT, b""))
                self.assertEqual({p: p.read_bytes() if p.is_file() and not p.is_symlink() else
                                  "link" if p.is_symlink() else "other"
                                  for d in (self.dir, elsewhere) for p in d.iterdir()},
                                 {self.results: OLD, kept: OLD, **want})

    def test_a_long_report_reaches_the_file_in_one_write(self):
        script = lines("ok", "T" * 3000, "C" * 3000, *["y"] * 54, "ok")
        self.assertGreater(len(model(script, BANK)[1]), PAGE)
        self.assertEqual(len(self.file_calls(script)["write"]), 1)

    def output_writes(self, script):
        """The sizes of the program's writes on standard output, a file, in a
        run on `script`; what the file holds is the model's transcript."""
        log = self.dir.parent / (self.dir.name + ".writes")
        out = self.dir.parent / (self.dir.name + ".out")
        with tempfile.TemporaryDirectory() as d, open(out, "wb") as f:
            code = self.run_script(script, ["strace", "-qq", "-o", str(log), "-e", "trace=write"],
                                   cwd=d, stdout=f)[0]
        transcript, _, want_code = model(script, BANK)
        self.assertEqual((code, out.read_bytes()), (want_code, transcript))
        sizes = [int(n) for n in re.findall(r"^write\(1, .*\) = (\d+)$", log.read_text(), re.M)]
        log.unlink()
        out.unlink()
        return sizes

    def test_output_leaves_in_one_write_per_wait(self):
        """A run from a file never waits: its output leaves at the end, in a
        few writes, and output held back stays bounded however much of it an
        input makes."""
        self.assertLessEqual(len(self.output_writes(SCRIPT)), 20)
        flood = lines("ok", "ILE", "80", *["x"] * 20000)
        sizes = self.output_writes(flood)
        most = 64 * 1024 + 4096  # the limit, and the print that passed it
        self.assertLessEqual(max(sizes), most)
        self.assertLessEqual(len(sizes), sum(sizes) // (64 * 1024) + 1)

    def test_a_non_blocking_stdin_is_waited_on(self):
        r, w = os.pipe()
        fcntl.fcntl(r, fcntl.F_SETFL, fcntl.fcntl(r, fcntl.F_GETFL) | os.O_NONBLOCK)
        p = self.start(r)
        for i in range(0, len(SCRIPT), 5):  # each piece once the last is taken
            while in_pipe(r) and p.poll() is None:
                time.sleep(0.001)
            if p.poll() is None:
                os.write(w, SCRIPT[i:i + 5])
        os.close(w)
        os.close(r)
        self.assertEqual(p.communicate(timeout=TIMEOUT), (TRANSCRIPT, b""))
        self.assertEqual((p.returncode, self.results.read_bytes()), (0, NEW))


@unittest.skipUnless(SHIM, "needs the allocation-failure shim (no sanitizer build)")
class OutOfMemory(Fault):
    """Every allocation fails from the n-th on, for every n up to a whole run."""

    ENDED = [(0, b""), (3, b"pelorin: out of memory\n")]

    def env(self, n, **more):
        return {**os.environ, "LD_PRELOAD": SHIM, "PELORIN_FAIL_ALLOCATIONS_AFTER": str(n), **more}

    def test_ends_promptly_keeping_the_old_file_or_writing_a_complete_one(self):
        for n in itertools.count():
            code, out, err = self.run_script(env=self.env(n))
            self.assertIn((code, err), self.ENDED, n)
            self.assertTrue(TRANSCRIPT.startswith(out), "bounded and correct output")
            self.assert_old_or_new()
            if code == 0:
                break
        self.assertGreater(n, 50)  # the shim took part: a whole run allocates that often

    def test_on_a_terminal_gives_the_terminal_back(self):
        for n in itertools.count(0, 37):
            master, slave = pty.openpty()
            fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 25, 80, 0, 0))
            before = termios.tcgetattr(slave)
            p = self.start(slave, stdout=slave, env=self.env(n, TERM="xterm"))
            os.write(master, SCRIPT.replace(b"\n", b"\r"))
            shown = bytearray()
            deadline = time.monotonic() + TIMEOUT
            while p.poll() is None:
                self.assertLess(time.monotonic(), deadline, "the program did not end")
                if select.select([master], [], [], 0.05)[0]:
                    shown += os.read(master, 65536)
                    if shown.endswith(b"\x1b[6n"):  # where the cursor is: top left
                        os.write(master, b"\x1b[1;1R")
            self.assertIn((p.returncode, p.stderr.read()), self.ENDED, n)
            p.stderr.close()
            self.assertEqual(termios.tcgetattr(slave), before, "the terminal's modes are back")
            self.assertLessEqual(shown.rfind(b"\x1b[?25l"), shown.rfind(b"\x1b[?25h"))
            os.close(master)
            os.close(slave)
            self.assert_old_or_new()
            if p.returncode == 0:
                break


if __name__ == "__main__":
    unittest.main()
