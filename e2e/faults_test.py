#!/usr/bin/env python3
"""Whole-program runs under faults and odd surroundings (POSIX only).

The program is ended by signals at every point of the report, its writes of
the results file fail (strace fault injection), two runs share a directory,
odd objects are named RESULTS.TXT, standard streams are closed or
non-blocking, and allocations fail (a shim preloaded into the program).
RESULTS.TXT must always be the old file or a complete new one, with no
temporary left beside it.

Environment: PELORIN_PROGRAM, PELORIN_BANK as for scripted_test.py;
PELORIN_ALLOC_SHIM (the allocation-failure shim, a shared library).
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

ALL_YES_SCRIPT = lines("ok", "ILE", "80", *["y"] * 54, "ok")
ALL_YES_FILE = results_file(ALL_YES, b"1" * 54, b"Expected TIM : ILE (80)")
OLD = b"results of an earlier run\r\n"
PAGE = 4096  # what one buffer of a pipe holds
# Signals that end the program; SIGPIPE comes from the reader going away.
ENDING_SIGNALS = [signal.SIGTERM, signal.SIGINT, signal.SIGHUP, signal.SIGPIPE, signal.SIGQUIT,
                  signal.SIGALRM, signal.SIGUSR1, signal.SIGUSR2, signal.SIGXCPU]


def no_core_dumps():
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))


def traced(cmd, log, syscalls, *inject, **kw):
    """`cmd` under strace, its calls of `syscalls` logged, faults injected."""
    options = ["-qq", "-o", str(log), "-e", "trace=" + syscalls, "-e", "signal=none"]
    for fault in inject:
        options += ["-e", "inject=" + fault]
    # The leak checker of a sanitizer build cannot work under a tracer.
    env = {**os.environ, "ASAN_OPTIONS": "detect_leaks=0"}
    return subprocess.run(["strace"] + options + cmd, timeout=TIMEOUT * 3, env=env, **kw)


def calls(log):
    """[(syscall, first argument, result)] from an strace log; for openat the
    path is the first argument."""
    found = re.findall(r"^(\w+)\((?:AT_FDCWD, )?([^,)]*)[^\n]*\)\s+= (-?\d+)",
                       Path(log).read_text(), re.M)
    return [(name, arg, int(result)) for name, arg, result in found]


def in_pipe(fd):
    """Bytes waiting in the pipe read through `fd`."""
    waiting = bytearray(4)
    fcntl.ioctl(fd, termios.FIONREAD, waiting)
    return int.from_bytes(waiting, sys.byteorder)


def leftovers(d):
    """The temporaries beside RESULTS.TXT."""
    return sorted(p.name for p in Path(d).iterdir() if p.name.startswith("RESULTS.TXT."))


class Fault(unittest.TestCase):
    maxDiff = 2000

    def setUp(self):
        self._dir = tempfile.TemporaryDirectory(prefix="pelorin-faults-")
        self.dir = Path(self._dir.name)
        self.results = self.dir / "RESULTS.TXT"

    def tearDown(self):
        self._dir.cleanup()

    def run_script(self, data=ALL_YES_SCRIPT, **kw):
        with tempfile.TemporaryFile() as stdin:
            stdin.write(data)
            stdin.seek(0)
            kw.setdefault("stdout", subprocess.PIPE)
            return subprocess.run([os.path.abspath(PROGRAM)], stdin=stdin, stderr=subprocess.PIPE,
                                  cwd=self.dir, timeout=TIMEOUT, **kw)

    def assert_complete_or_old(self, old, what=""):
        content = self.results.read_bytes() if self.results.exists() else None
        self.assertIn(content, (old, ALL_YES_FILE), what)
        self.assertEqual(leftovers(self.dir), [], what)


@unittest.skipUnless(shutil.which("strace") and os.path.exists("/proc/self/syscall"),
                     "needs strace and /proc")
class Stalled(Fault):
    """Runs stopped at a chosen write of the report: standard output is a pipe
    of one page that nobody reads. The program first waits for its last
    answer with the pipe empty; the test then fills the page so far that the
    chosen write no longer fits in it, and gives the answer."""

    HEAD = lines("ok", "ILE", "80", *["y"] * 53)
    TAIL = lines("y", "ok")

    def setUp(self):
        super().setUp()
        script = self.HEAD + self.TAIL
        log = self.dir / "writes.log"
        with tempfile.TemporaryFile() as stdin, tempfile.TemporaryDirectory() as d:
            stdin.write(script)
            stdin.seek(0)
            traced([os.path.abspath(PROGRAM)], log, "write", stdin=stdin,
                   stdout=subprocess.DEVNULL, cwd=d, check=True)
        sizes = [result for name, fd, result in calls(log) if fd == "1"]
        self.out = model(script, BANK)[0]
        starts = list(itertools.accumulate([0] + sizes))
        report = starts.index(self.out.index(b"\r\nTest Results :\r\n"))
        # The writes from the first of the report on, and where each starts.
        self.sizes = sizes[report:]
        self.starts = [at - starts[report] for at in starts[report:-1]]

    def wait_until_stalled(self, p, size):
        """Until the program sleeps in a write of `size` bytes to standard
        output (the system call and its arguments, as the kernel shows them
        for a sleeping process)."""
        deadline = time.monotonic() + TIMEOUT
        while True:
            call = Path("/proc/%d/syscall" % p.pid).read_text().split()
            if len(call) > 3 and call[1] == "0x1" and int(call[3], 16) == size:
                return
            self.assertLess(time.monotonic(), deadline, "the program never stalled")
            time.sleep(0.001)

    def start_stalled(self, write):
        """The program, stopped at the report's write number `write`, and the
        read end of its standard output."""
        r_out, w_out = os.pipe()
        fcntl.fcntl(w_out, fcntl.F_SETPIPE_SZ, PAGE)
        r_in, w_in = os.pipe()
        os.write(w_in, self.HEAD)
        p = subprocess.Popen([os.path.abspath(PROGRAM)], stdin=r_in, stdout=w_out,
                             stderr=subprocess.PIPE, cwd=self.dir, preexec_fn=no_core_dumps)
        os.close(r_in)
        before = self.out.index(b"\r\nTest Results :\r\n")
        while before:  # everything up to the last answer: the pipe is empty
            before -= len(os.read(r_out, before))
        filled = PAGE + 1 - self.starts[write] - self.sizes[write]
        os.write(w_out, b"-" * filled)
        os.close(w_out)
        os.write(w_in, self.TAIL)
        os.close(w_in)
        self.wait_until_stalled(p, self.sizes[write])
        self.assertEqual(in_pipe(r_out) - filled, self.starts[write], "stopped where planned")
        return p, r_out

    def test_ended_at_every_write_of_the_report(self):
        closed = self.starts.index(self.out.index(b"The more the type") -
                                   self.out.index(b"\r\nTest Results :\r\n"))
        for write in range(closed + 1):
            sig = ENDING_SIGNALS[write % len(ENDING_SIGNALS)]
            with self.subTest(write=write, signal=sig.name):
                self.results.write_bytes(OLD)
                p, r_out = self.start_stalled(write)
                self.assertEqual(self.results.read_bytes(), OLD if write < closed else ALL_YES_FILE)
                self.assertEqual(bool(leftovers(self.dir)), write < closed,
                                 "the new file is being written beside it")
                if sig == signal.SIGPIPE:
                    os.close(r_out)  # the reader goes away
                else:
                    p.send_signal(sig)
                p.wait(timeout=TIMEOUT)
                if sig != signal.SIGPIPE:
                    os.close(r_out)
                self.assertEqual(p.returncode, -sig, "the exit status shows the signal")
                self.assertEqual(p.stderr.read(), b"")
                p.stderr.close()
                self.assert_complete_or_old(ALL_YES_FILE if write == closed else OLD)

    def test_two_runs_in_one_directory_each_leave_a_complete_file(self):
        first, r_out = self.start_stalled(5)
        longer = lines("ok", "ILE" * 40, "99", *["n"] * 54, "ok")
        second = self.run_script(longer)
        self.assertEqual(second.returncode, 0)
        self.assertEqual(self.results.read_bytes(), model(longer, BANK)[1])
        with os.fdopen(r_out, "rb") as pipe:
            pipe.read()
        self.assertEqual(first.wait(timeout=TIMEOUT), 0)
        first.stderr.close()
        self.assertEqual(self.results.read_bytes(), ALL_YES_FILE, "the last to finish wins")
        self.assertEqual(leftovers(self.dir), [])


@unittest.skipUnless(shutil.which("strace"), "needs strace")
class FailingCalls(Fault):
    """The system calls on the new file fail: strace makes them return an error."""

    FILE_CALLS = "openat,write,fsync,close,rename"

    def reference_calls(self, script):
        """The calls on the results file in a run without faults: for each kind,
        the 1-based number among all calls of that kind, as strace counts."""
        log = self.dir / "calls.log"
        with tempfile.TemporaryFile() as stdin, tempfile.TemporaryDirectory() as d:
            stdin.write(script)
            stdin.seek(0)
            traced([os.path.abspath(PROGRAM)], log, self.FILE_CALLS, stdin=stdin,
                   stdout=subprocess.DEVNULL, cwd=d, check=True)
        numbers, seen, fd = {}, {}, None
        for name, arg, result in calls(log):
            seen[name] = seen.get(name, 0) + 1
            if name == "openat" and "RESULTS.TXT" in arg and result >= 0:
                fd = str(result)
            elif fd is not None and arg == fd or name == "rename":
                numbers.setdefault(name, []).append(seen[name])
                fd = None if name == "close" else fd
        return numbers

    def test_a_failed_write_sync_close_or_rename_keeps_the_old_file(self):
        numbers = self.reference_calls(ALL_YES_SCRIPT)
        want_stdout = model(ALL_YES_SCRIPT, BANK)[0]
        for call, error in [("write", "ENOSPC"), ("write", "EIO"), ("fsync", "EIO"),
                            ("close", "EIO"), ("close", "EDQUOT"), ("rename", "EACCES")]:
            with self.subTest(call=call, error=error):
                self.assertIn(call, numbers)
                self.results.write_bytes(OLD)
                with tempfile.TemporaryFile() as stdin:
                    stdin.write(ALL_YES_SCRIPT)
                    stdin.seek(0)
                    p = traced([os.path.abspath(PROGRAM)], os.devnull, call,
                               "%s:error=%s:when=%d" % (call, error, numbers[call][0]),
                               stdin=stdin, capture_output=True, cwd=self.dir)
                self.assertEqual((p.returncode, p.stderr, p.stdout), (0, b"", want_stdout))
                self.assert_complete_or_old(OLD)
                self.assertEqual(self.results.read_bytes(), OLD)

    def test_a_long_report_reaches_the_file_in_one_write(self):
        script = lines("ok", "T" * 3000, "C" * 3000, *["y"] * 54, "ok")
        numbers = self.reference_calls(script)
        self.assertEqual(len(numbers["write"]), 1, "one write for the whole file")
        self.assertGreater(len(model(script, BANK)[1]), PAGE)


class OddObjects(Fault):
    def test_links_and_fifos_are_replaced_never_written_through(self):
        with tempfile.TemporaryDirectory() as elsewhere:
            victim = Path(elsewhere) / "victim"
            victim.write_bytes(b"someone else's file\n")
            for kind, make in [("link", lambda: self.results.symlink_to(victim)),
                               ("dangling link", lambda: self.results.symlink_to(
                                   Path(elsewhere) / "new")),
                               ("FIFO", lambda: os.mkfifo(self.results))]:
                with self.subTest(kind=kind):
                    self.results.unlink(missing_ok=True)
                    make()
                    p = self.run_script()
                    self.assertEqual((p.returncode, p.stderr), (0, b""))
                    self.assertTrue(stat.S_ISREG(self.results.lstat().st_mode))
                    self.assertEqual(self.results.read_bytes(), ALL_YES_FILE)
                    self.assertEqual(sorted(os.listdir(elsewhere)), ["victim"])
                    self.assertEqual(victim.read_bytes(), b"someone else's file\n")


SHIM = os.environ.get("PELORIN_ALLOC_SHIM")


@unittest.skipUnless(SHIM, "needs the allocation-failure shim (not in sanitizer builds)")
class OutOfMemory(Fault):
    """Every allocation fails from the n-th on, for every n a run reaches."""

    MESSAGE = b"pelorin: out of memory\n"

    def shim_env(self, **settings):
        return {**os.environ, "LD_PRELOAD": SHIM,
                **{"PELORIN_" + k: str(v) for k, v in settings.items()}}

    def allocations(self, **kw):
        count = self.dir / "count"
        self.run_script(env=self.shim_env(COUNT_ALLOCATIONS=count), **kw)
        return int(count.read_text())

    def test_ends_promptly_and_keeps_the_old_file_or_writes_a_complete_one(self):
        want_stdout = model(ALL_YES_SCRIPT, BANK)[0]
        for n in range(self.allocations() + 1):
            with self.subTest(allocations=n):
                self.results.write_bytes(OLD)
                p = self.run_script(env=self.shim_env(FAIL_ALLOCATIONS_AFTER=n))
                self.assertIn((p.returncode, p.stderr), [(0, b""), (3, self.MESSAGE)])
                self.assertTrue(want_stdout.startswith(p.stdout), "what was shown is correct")
                self.assert_complete_or_old(OLD)

    def test_on_a_terminal_gives_the_terminal_back(self):
        keys = b"".join(k + b"\r" for k in [b"ok", b"ILE", b"80", *[b"y"] * 54, b"ok"])
        self.run_on_terminal(keys, COUNT_ALLOCATIONS=self.dir / "count")
        total = int((self.dir / "count").read_text())
        for n in range(0, total, max(1, total // 25)):
            with self.subTest(allocations=n):
                stderr, output, modes = self.run_on_terminal(keys, FAIL_ALLOCATIONS_AFTER=n)
                self.assertIn(stderr, [b"", self.MESSAGE])
                self.assertEqual(modes[0], modes[1], "the terminal's modes are back")
                self.assertLessEqual(output.rfind(b"\x1b[?25l"), output.rfind(b"\x1b[?25h"),
                                     "the cursor is shown")
                self.assert_complete_or_old(None)

    def run_on_terminal(self, keys, **settings):
        """Runs the program on a pseudo-terminal of 80 x 25, typing `keys` and
        answering its cursor-position requests: (standard error, what the
        terminal received, (the terminal's modes before, after))."""
        master, slave = pty.openpty()
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 25, 80, 0, 0))
        before = termios.tcgetattr(slave)
        env = {**self.shim_env(**settings), "TERM": "xterm"}
        p = subprocess.Popen([os.path.abspath(PROGRAM)], stdin=slave, stdout=slave,
                             stderr=subprocess.PIPE, cwd=self.dir, env=env)
        os.write(master, keys)
        output = bytearray()
        deadline = time.monotonic() + TIMEOUT
        while p.poll() is None:
            self.assertLess(time.monotonic(), deadline, "the program did not end")
            if select.select([master], [], [], 0.05)[0]:
                output += os.read(master, 65536)
                if output.endswith(b"\x1b[6n"):
                    os.write(master, b"\x1b[1;1R")
        after = termios.tcgetattr(slave)
        os.close(master)
        os.close(slave)
        stderr = p.stderr.read()
        p.stderr.close()
        return stderr, bytes(output), (before, after)


class StandardStreams(Fault):
    def test_closed_stdout_does_not_lend_its_descriptor_to_the_file(self):
        script = self.dir / "a.txt"
        script.write_bytes(ALL_YES_SCRIPT)
        for closed in [[1], [1, 2]]:
            with self.subTest(closed=closed):
                p = subprocess.run(
                    ["sh", "-c", '"$0" < "$1" ' + " ".join("%d>&-" % fd for fd in closed),
                     os.path.abspath(PROGRAM), script],
                    capture_output=True, cwd=self.dir, timeout=TIMEOUT)
                self.assertEqual((p.returncode, p.stdout, p.stderr), (0, b"", b""))
                self.assertEqual(self.results.read_bytes(), ALL_YES_FILE)


class NonBlockingInput(Fault):
    def test_a_non_blocking_pipe_is_waited_on(self):
        r, w = os.pipe()
        fcntl.fcntl(r, fcntl.F_SETFL, fcntl.fcntl(r, fcntl.F_GETFL) | os.O_NONBLOCK)
        p = subprocess.Popen([os.path.abspath(PROGRAM)], stdin=r, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, cwd=self.dir)
        os.close(r)
        # Each piece arrives only once the program has found the pipe empty.
        with os.fdopen(w, "wb", buffering=0) as pipe:
            for i in range(0, len(ALL_YES_SCRIPT), 5):
                self.wait_until_reading(p.pid)
                try:
                    pipe.write(ALL_YES_SCRIPT[i:i + 5])
                except BrokenPipeError:
                    break
        out, err = p.communicate(timeout=TIMEOUT)
        want_stdout, want_results, _ = model(ALL_YES_SCRIPT, BANK)
        self.assertEqual((p.returncode, err, out), (0, b"", want_stdout))
        self.assertEqual(self.results.read_bytes(), want_results)

    def wait_until_reading(self, pid):
        """Until the program sleeps (waiting for input) or has ended."""
        deadline = time.monotonic() + TIMEOUT
        while time.monotonic() < deadline:
            try:
                state = Path("/proc/%d/stat" % pid).read_text().rsplit(")", 1)[1].split()[0]
            except OSError:
                return
            if state in "SZ":
                return
            time.sleep(0.001)


if __name__ == "__main__":
    unittest.main()
