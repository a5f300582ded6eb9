#!/usr/bin/env python3
"""The questionnaire on a real terminal, answers fed as a stream.

The program runs in tmux with standard output on the terminal and standard
input a FIFO the test writes to step by step. At each step the terminal must
show exactly what the output engine puts on a console of the same size (the
screen oracle runs the same dialogue on an in-memory console), cursor
included, so wrapping, the pending scroll and scrolling at the bottom are
checked as the user sees them. A few rows are also checked by hand.

Environment: PELORIN_PROGRAM, PELORIN_SCREEN_ORACLE.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from tmux_harness import Terminal  # noqa: E402

PROGRAM = os.path.abspath(os.environ.get("PELORIN_PROGRAM", "build/release/pelorin"))
ORACLE = os.path.abspath(os.environ.get("PELORIN_SCREEN_ORACLE",
                                        "build/release/e2e/pelorin_screen_oracle"))
HINT = "Type 'y' for YES, 'n' for NO, 'p' for previous question."


def oracle(cols, rows, data):
    out = subprocess.run([ORACLE, str(cols), str(rows)], input=data, capture_output=True,
                         check=True).stdout.decode("utf-8")
    lines = out.split("\n")
    screen, cursor = lines[:rows], lines[rows].split()
    return screen, (int(cursor[1]), int(cursor[2]))


@unittest.skipUnless(shutil.which("tmux"), "needs tmux")
class Screens(unittest.TestCase):
    maxDiff = None

    def run_steps(self, cols, rows, steps, last):
        """Feeds the steps one by one; after each the screen must match.
        Then `last` ends the program (it prints nothing more: answers read
        as a stream are not echoed). Returns the screen before that."""
        with tempfile.TemporaryDirectory(prefix="pelorin-screens-") as d:
            fifo = os.path.join(d, "answers")
            os.mkfifo(fifo)
            with Terminal("%s < %s" % (PROGRAM, fifo), cols, rows, cwd=d) as term:
                fed = b""
                with open(fifo, "wb", buffering=0) as writer:
                    for step in steps:
                        writer.write(step)
                        fed += step
                        self.expect_screen(term, cols, rows, fed)
                    screen = term.screen()
                    writer.write(last)
                term.wait(term.dead, what="the program to end")
                self.assertEqual(term.exit_status(), 0)
                self.assertTrue(os.path.exists(os.path.join(d, "RESULTS.TXT")))
                return screen

    def expect_screen(self, term, cols, rows, fed):
        want_screen, want_cursor = oracle(cols, rows, fed)

        def matches():
            return term.screen() == want_screen and term.cursor() == want_cursor
        try:
            term.wait(matches, what="the engine's screen")
        except AssertionError:
            self.assertEqual(term.screen(), want_screen, "after %r" % fed[-40:])
            self.assertEqual(term.cursor(), want_cursor, "after %r" % fed[-40:])

    def whole_test(self, cols, rows):
        steps = [b"", b"ok\n", b"ILE\n", b"80\n"]
        steps += [b"y\n"] * 5 + [b"n\n", b"p\n", b"y\n"] + [b"n\n"] * 48 + [b"nope\n"]
        return self.run_steps(cols, rows, steps, b"ok\n")

    def test_80_by_25(self):
        self.whole_test(80, 25)

    def test_40_by_12(self):
        final = self.whole_test(40, 12)
        # Statements longer than the width wrap character by character.
        self.assertIn("The more the type has a large number, th", final)
        self.assertIn("e more it's probable for you.", final)

    def test_hint_exactly_as_wide_as_the_window(self):
        # Every hint line fills its row to the last cell: the scroll that
        # its last character would cause waits for the next output, and the
        # line end after it then leaves one empty row.
        cols = len(HINT)
        steps = [b"ok\nILE\n80\n", b"y\n", b"y\n"]
        with tempfile.TemporaryDirectory() as d:
            fifo = os.path.join(d, "answers")
            os.mkfifo(fifo)
            with Terminal("%s < %s" % (PROGRAM, fifo), cols, 10, cwd=d) as term:
                with open(fifo, "wb", buffering=0) as writer:
                    fed = b""
                    for step in steps:
                        writer.write(step)
                        fed += step
                        self.expect_screen(term, cols, 10, fed)
                    screen = term.screen()
                    self.assertEqual(screen[-3:], [HINT, "", ""])
                    self.assertEqual(term.cursor(), (1, 10))


if __name__ == "__main__":
    unittest.main()
