#!/usr/bin/env python3
"""Whole-program runs under faults and odd surroundings (Linux).

The program is ended by every ending signal at every write of the report,
the calls on the results file fail (strace fault injection), two runs share a
directory, links and FIFOs are named RESULTS.TXT, standard streams are closed
or non-blocking, allocations fail (a shim preloaded into the program).
RESULTS.TXT must always be the old file or a complete new one, with nothing
left beside it.

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
from scripted_test import ALL_YES, BANK, PROGRAM, TIMEOUT, lines, results_file  # noqa: E402
from dialogue_model import model  # noqa: E402

SCRIPT = lines("ok", "ILE", "80", *["y"] * 54, "ok")
TRANSCRIPT, NEW, _, WRITES = model(SCRIPT, BANK, writes=True)
assert NEW == results_file(ALL_YES, b"1" * 54, b"Expected TIM : ILE (80)")
OLD = b"results of an earlier run\r\n"
PAGE = 4096  # what one buffer of a pipe holds
SHIM = os.environ.get("PELORIN_ALLOC_SHIM")


def traced(cmd, log, syscalls, inject=None, **kw):
    """`cmd` under strace, logging `syscalls`, with one fault injected."""
    options = ["-qq", "-o", str(log), "-e", "trace=" + syscalls, "-e", "signal=none"]
    options += ["-e", "inject=" + inject] if inject else []
    # The leak checker of a sanitizer build cannot work under a tracer.
    env = {**os.environ, "ASAN_OPTIONS": "detect_leaks=0"}
    return subprocess.run(["strace"] + options + cmd, timeout=TIMEOUT * 3, env=env, **kw)


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

    def tearDown(self):
        self._dir.cleanup()

    def start(self, stdin=SCRIPT, **kw):
        if isinstance(stdin, bytes):
            with tempfile.TemporaryFile() as f:
                f.write(stdin)
                f.seek(0)
                return self.start(f, **kw)
        kw = {"stdout": subprocess.PIPE, "stderr": subprocess.PIPE, **kw}
        return subprocess.Popen(kw.pop("cmd", [os.path.abspath(PROGRAM)]), stdin=stdin,
                                cwd=self.dir, preexec_fn=lambda: resource.setrlimit(
                                    resource.RLIMIT_CORE, (0, 0)), **kw)

    def run_script(self, stdin=SCRIPT, **kw):
        p = self.start(stdin, **kw)
        out, err = p.communicate(timeout=TIMEOUT)
        return p.returncode, out, err

    def assert_old_or_new(self, old=OLD):
        """RESULTS.TXT is the old file or the complete new one, alone."""
        content = self.results.read_bytes() if self.results.exists() else None
        self.assertIn(content, (old, NEW))
        self.assertEqual([p.name for p in self.dir.iterdir() if p.name != "RESULTS.TXT"], [])


@unittest.skipUnless(os.path.exists("/proc/self/syscall"), "needs /proc")
class Stalled(Fault):
    """Runs stopped at a chosen write of the report: standard output is a pipe
    of one page that nobody reads. The program waits for its last answer with
    the pipe empty; the test fills the page so far that the chosen write no
    longer fits, and gives the answer."""

    REPORT = TRANSCRIPT.index(b"\r\nTest Results :\r\n")
    STARTS = list(itertools.accumulate([0] + WRITES))
    FIRST = STARTS.index(REPORT)  # the first write of the report
    CLOSED = STARTS.index(TRANSCRIPT.index(b"The more the type")) - FIRST  # the file is closed

    def start_stalled(self, write):
        """The program, stopped at the report's write number `write`, and the
        read end of its standard output."""
        r_out, w_out = os.pipe()
        fcntl.fcntl(w_out, fcntl.F_SETPIPE_SZ, PAGE)
        r_in, w_in = os.pipe()
        os.write(w_in, SCRIPT[:-len(b"y\nok\n")])
        p = self.start(r_in, stdout=w_out)
        os.close(r_in)
        left = self.REPORT
        while left:
            left -= len(os.read(r_out, left))
        size = WRITES[self.FIRST + write]
        os.write(w_out, b"-" * (PAGE + 1 - (self.STARTS[self.FIRST + write] - self.REPORT) - size))
        os.close(w_out)
        os.write(w_in, b"y\nok\n")
        os.close(w_in)
        # The kernel shows the call and arguments of a process asleep in it.
        deadline = time.monotonic() + TIMEOUT
        while (call := Path("/proc/%d/syscall" % p.pid).read_text().split())[1:4:2] != \
                ["0x1", hex(size)]:
            self.assertLess(time.monotonic(), deadline, "never stopped at write %d" % write)
            time.sleep(0.001)
        self.assertEqual(in_pipe(r_out), PAGE + 1 - size, "stopped where planned")
        return p, r_out

    def test_ended_at_every_write_of_the_report(self):
        signals = [signal.SIGTERM, signal.SIGINT, signal.SIGHUP, signal.SIGPIPE, signal.SIGQUIT,
                   signal.SIGALRM, signal.SIGUSR1, signal.SIGUSR2, signal.SIGXCPU]
        for write in range(self.CLOSED + 1):
            sig = signals[write % len(signals)]
            with self.subTest(write=write, signal=sig.name):
                self.results.write_bytes(OLD)
                p, r_out = self.start_stalled(write)
                self.assertEqual(self.results.read_bytes(), OLD if write < self.CLOSED else NEW)
                self.assertEqual(len(list(self.dir.iterdir())), 2 if write < self.CLOSED else 1,
                                 "the new file is written beside the old one")
                if sig == signal.SIGPIPE:
                    os.close(r_out)  # the reader goes away
                else:
                    p.send_signal(sig)
                p.wait(timeout=TIMEOUT)
                if sig != signal.SIGPIPE:
                    os.close(r_out)
                self.assertEqual((p.returncode, p.stderr.read()), (-sig, b""))
                p.stderr.close()
                self.assert_old_or_new(NEW if write == self.CLOSED else OLD)

    def test_two_runs_in_one_directory_each_leave_a_complete_file(self):
        first, r_out = self.start_stalled(5)
        longer = lines("ok", "ILE" * 40, "99", *["n"] * 54, "ok")
        self.assertEqual(self.run_script(longer)[0], 0)
        self.assertEqual(self.results.read_bytes(), model(longer, BANK)[1])
        with os.fdopen(r_out, "rb") as pipe:
            pipe.read()
        self.assertEqual(first.wait(timeout=TIMEOUT), 0)
        first.stderr.close()
        self.assertEqual(self.results.read_bytes(), NEW, "the last to finish wins")
        self.assert_old_or_new()


@unittest.skipUnless(shutil.which("strace"), "needs strace")
class FailingCalls(Fault):
    def file_calls(self, script):
        """How strace numbers the calls on the results file in a run without
        faults: {syscall: [n-th call of that name, ...]}."""
        log = self.dir.parent / (self.dir.name + ".log")
        with tempfile.TemporaryFile() as stdin, tempfile.TemporaryDirectory() as d:
            stdin.write(script)
            stdin.seek(0)
            traced([os.path.abspath(PROGRAM)], log, "openat,write,fsync,close,rename",
                   stdin=stdin, stdout=subprocess.DEVNULL, cwd=d, check=True)
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

    def test_a_failed_write_sync_close_or_rename_keeps_the_old_file(self):
        numbers = self.file_calls(SCRIPT)
        for call, error in [("write", "ENOSPC"), ("write", "EIO"), ("fsync", "EIO"),
                            ("close", "EIO"), ("close", "EDQUOT"), ("rename", "EACCES")]:
            with self.subTest(call=call, error=error):
                self.assertIn(call, numbers)
                with tempfile.TemporaryFile() as stdin:
                    stdin.write(SCRIPT)
                    stdin.seek(0)
                    p = traced([os.path.abspath(PROGRAM)], os.devnull, call,
                               "%s:error=%s:when=%d" % (call, error, numbers[call][0]),
                               stdin=stdin, capture_output=True, cwd=self.dir)
                self.assertEqual((p.returncode, p.stderr, p.stdout), (0, b"", TRANSCRIPT))
                self.assertEqual(self.results.read_bytes(), OLD)
                self.assert_old_or_new()

    def test_a_long_report_reaches_the_file_in_one_write(self):
        script = lines("ok", "T" * 3000, "C" * 3000, *["y"] * 54, "ok")
        self.assertGreater(len(model(script, BANK)[1]), PAGE)
        self.assertEqual(len(self.file_calls(script)["write"]), 1)


class OddObjects(Fault):
    def test_links_and_fifos_are_replaced_never_written_through(self):
        with tempfile.TemporaryDirectory() as elsewhere:
            victim = Path(elsewhere) / "victim"
            victim.write_bytes(b"someone else's")
            for make in [lambda: self.results.symlink_to(victim),
                         lambda: self.results.symlink_to(Path(elsewhere) / "new"),
                         lambda: os.mkfifo(self.results)]:
                self.results.unlink(missing_ok=True)
                make()
                self.assertEqual(self.run_script()[0::2], (0, b""))
                self.assertTrue(stat.S_ISREG(self.results.lstat().st_mode))
                self.assertEqual(self.results.read_bytes(), NEW)
                self.assertEqual(os.listdir(elsewhere), ["victim"])
                self.assertEqual(victim.read_bytes(), b"someone else's")


@unittest.skipUnless(SHIM, "needs the allocation-failure shim (no sanitizer build)")
class OutOfMemory(Fault):
    """Every allocation fails from the n-th on, for every n up to a whole run."""

    ENDED = (3, b"pelorin: out of memory\n")

    def test_ends_promptly_keeping_the_old_file_or_writing_a_complete_one(self):
        for n in range(100000):
            env = {**os.environ, "LD_PRELOAD": SHIM, "PELORIN_FAIL_ALLOCATIONS_AFTER": str(n)}
            code, out, err = self.run_script(env=env)
            self.assertIn((code, err), [(0, b""), self.ENDED], n)
            self.assertTrue(TRANSCRIPT.startswith(out), "bounded and correct output")
            self.assert_old_or_new()
            if code == 0:
                break
        self.assertGreater(n, 100)

    def test_on_a_terminal_gives_the_terminal_back(self):
        keys = SCRIPT.replace(b"\n", b"\r")
        for n in range(0, 100000, 37):
            master, slave = pty.openpty()
            fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 25, 80, 0, 0))
            before = termios.tcgetattr(slave)
            env = {**os.environ, "TERM": "xterm", "LD_PRELOAD": SHIM,
                   "PELORIN_FAIL_ALLOCATIONS_AFTER": str(n)}
            p = self.start(slave, stdout=slave, env=env)
            os.write(master, keys)
            shown = bytearray()
            deadline = time.monotonic() + TIMEOUT
            while p.poll() is None:
                self.assertLess(time.monotonic(), deadline, "the program did not end")
                if select.select([master], [], [], 0.05)[0]:
                    shown += os.read(master, 65536)
                    if shown.endswith(b"\x1b[6n"):  # where the cursor is: top left
                        os.write(master, b"\x1b[1;1R")
            self.assertIn((p.returncode, p.stderr.read()), [(0, b""), self.ENDED], n)
            p.stderr.close()
            self.assertEqual(termios.tcgetattr(slave), before, "the terminal's modes are back")
            self.assertLessEqual(shown.rfind(b"\x1b[?25l"), shown.rfind(b"\x1b[?25h"))
            os.close(master)
            os.close(slave)
            self.assert_old_or_new()
            if p.returncode == 0:
                break


class StandardStreams(Fault):
    def test_a_closed_stdout_lends_its_descriptor_to_no_file(self):
        for closed in ["1>&-", "1>&- 2>&-"]:
            cmd = ["sh", "-c", '"$0" ' + closed, os.path.abspath(PROGRAM)]
            self.assertEqual(self.run_script(cmd=cmd), (0, b"", b""), closed)
            self.assertEqual(self.results.read_bytes(), NEW)

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


if __name__ == "__main__":
    unittest.main()
