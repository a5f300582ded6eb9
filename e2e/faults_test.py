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
Run one group with: faults_test.py Signals
"""

import fcntl
import os
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from scripted_test import ALL_YES, BANK, PROGRAM, TIMEOUT, lines, results_file  # noqa: E402
from dialogue_model import model  # noqa: E402

ALL_YES_SCRIPT = lines("ok", "ILE", "80", *["y"] * 54, "ok")
ALL_YES_FILE = results_file(ALL_YES, b"1" * 54, b"Expected TIM : ILE (80)")
OLD = b"results of an earlier run\r\n"


def leftovers(d):
    """Everything in the directory besides RESULTS.TXT and what the test made."""
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
