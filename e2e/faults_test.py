#!/usr/bin/env python3
"""Whole-program runs under faults and odd surroundings (Linux).

RESULTS.TXT must always be the old file or a complete new one, with nothing
left beside it: when the program is ended by a signal at any write of the
report, when calls on the file fail (strace injects the errors), when two
runs share a directory, when a link or a FIFO has the name, when a standard
stream is closed or non-blocking, when allocations fail (a preloaded shim).

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
import stat
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


@unittest.skipUnless(hasattr(fcntl, "F_SETPIPE_SZ"), "needs pipes of a chosen size")
class Stalled(Fault):
    """Runs stopped in a write: standard output is a pipe of one page that
    nobody reads. The program holds its output until it waits or ends: given
    all but its last answer, it stops sending what it holds before it waits
    for that answer; given every answer, it stops at its end, after the
    report."""

    LAST = b"y\nok\n"

    def start_stalled(self, answers):
        r_out, w_out = os.pipe()
        fcntl.fcntl(w_out, fcntl.F_SETPIPE_SZ, PAGE)
        r_in, w_in = os.pipe()
        os.write(w_in, answers)
        p = self.start(r_in, stdout=w_out)
        os.close(r_in)
        os.close(w_out)
        deadline = time.monotonic() + TIMEOUT
        while in_pipe(r_out) < PAGE:
            self.assertLess(time.monotonic(), deadline, "the page never filled")
            time.sleep(0.001)
        return p, r_out, w_in

    def test_ended_while_stalled_before_and_after_the_report(self):
        signals = [signal.SIGTERM, signal.SIGINT, signal.SIGHUP, signal.SIGPIPE, signal.SIGQUIT,
                   signal.SIGALRM, signal.SIGUSR1, signal.SIGUSR2, signal.SIGXCPU]
        for (answers, want), sig in itertools.product(
                [(SCRIPT[:-len(self.LAST)], OLD), (SCRIPT, NEW)], signals):
            with self.subTest(report=want == NEW, signal=sig.name):
                self.results.write_bytes(OLD)
                p, r_out, w_in = self.start_stalled(answers)
                if sig == signal.SIGPIPE:
                    os.close(r_out)  # the reader goes away
                else:
                    p.send_signal(sig)
                self.assertEqual((p.wait(timeout=TIMEOUT), p.stderr.read()), (-sig, b""))
                p.stderr.close()
                os.close(w_in)
                if sig != signal.SIGPIPE:
                    # What went out is the transcript's start, in order.
                    self.assertEqual(os.read(r_out, PAGE + 1), TRANSCRIPT[:PAGE])
                    os.close(r_out)
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
            elif fd is not None and arg == fd or name == "rename":
                numbers.setdefault(name, []).append(seen[name])
                fd = None if name == "close" else fd
        log.unlink()
        return numbers

    def test_the_file_is_old_or_complete_whatever_surrounds_the_run(self):
        numbers = self.file_calls(SCRIPT)
        victim = self.dir.parent / (self.dir.name + ".victim")
        victim.write_bytes(b"someone else's")
        self.addCleanup(victim.unlink)

        def failing(call, error):
            return ["strace", "-qq", "-o", os.devnull, "-e", "trace=" + call, "-e",
                    "inject=%s:error=%s:when=%d" % (call, error, numbers.get(call, [0])[0])]
        closed = ["sh", "-c", '"$0" >&- 2>&-']
        for what, made, cmd, want_stdout, want in [
                ("link", lambda: self.results.symlink_to(victim), [], TRANSCRIPT, NEW),
                ("dangling link", lambda: self.results.symlink_to(victim.with_suffix(".new")),
                 [], TRANSCRIPT, NEW),
                ("FIFO", lambda: os.mkfifo(self.results), [], TRANSCRIPT, NEW),
                ("closed stdout", None, closed, b"", NEW),
                *[(call + " " + error, None, failing(call, error), TRANSCRIPT, OLD) for call, error
                  in [("write", "ENOSPC"), ("write", "EIO"), ("fsync", "EIO"), ("close", "EIO"),
                      ("close", "EDQUOT"), ("rename", "EACCES")]]]:
            with self.subTest(what):
                self.results.unlink()
                made() if made else self.results.write_bytes(OLD)
                self.assertEqual(self.run_script(cmd=cmd), (0, want_stdout, b""))
                self.assertTrue(stat.S_ISREG(self.results.lstat().st_mode))
                self.assert_old_or_new([want])
                self.assertEqual(victim.read_bytes(), b"someone else's")
                self.assertFalse(victim.with_suffix(".new").exists())

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
