#!/usr/bin/env python3
"""The Windows build on Wine's console, in a real terminal (tmux).

Wine gives a program started on a terminal a console drawn on that terminal
and turns typed keys into console input records, which the program reads
with ReadConsoleInputA. A whole questionnaire answered through the keyboard
must write the RESULTS.TXT the answers give.

Where Wine's console differs from Windows, the difference is recorded here
rather than worked around in the program. Wine turns Home and a lone Esc
typed on a terminal into console keys only now and then (Windows: Home is
the extended code 0x47FF and goes to the start of the line; Esc is 27 and
erases it), so those tests take either outcome and check that the key never
becomes text. They type at the second question: at the first, Wine's console
now and then draws the typed line twice on the terminal.

Environment: PELORIN_WINDOWS_PROGRAM (pelorin.exe), PELORIN_WINE (launcher),
PELORIN_BANK.
"""

import os
import shutil
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from dialogue_model import load_bank, model  # noqa: E402
from tmux_harness import Terminal  # noqa: E402

ROOT = Path(__file__).resolve().parent.parent
PROGRAM = os.path.abspath(os.environ.get("PELORIN_WINDOWS_PROGRAM",
                                         str(ROOT / "build/mingw/pelorin.exe")))
RESULTS_PROGRAM = os.path.join(os.path.dirname(PROGRAM), "pelorin-results.exe")
WINE = os.path.abspath(os.environ.get("PELORIN_WINE", str(ROOT / "tools/wine-run.sh")))
BANK = load_bank(os.environ.get("PELORIN_BANK", str(ROOT / "typetest/question_bank.cpp")))
INTRO_END = "type 'ok' and press [ENTER] to continue."
TYPE_QUESTION = "If you already know your socionic type,"
SURE_QUESTION = "How are you sure on your socionic type ? (in %)"
HINT = "Type 'y' for YES, 'n' for NO, 'p' for previous question."
WINE_START = 60.0  # a first start may create the Wine prefix
# Caps on waits for the program's own work: Wine under a loaded machine
# takes many times longer than usual, and a wait ends as soon as its
# condition holds.
WINE_STEP = 120.0


@unittest.skipUnless(shutil.which("tmux"), "needs tmux")
@unittest.skipUnless(os.path.exists(PROGRAM), "needs the Windows build")
class WineConsole(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="pelorin-wine-")
        self.term = Terminal("%s %s" % (WINE, PROGRAM), 80, 25, cwd=self.dir)
        self.term.patience = WINE_STEP
        self.term.wait_for_text(INTRO_END, timeout=WINE_START)

    def tearDown(self):
        self.term.close()
        shutil.rmtree(self.dir, ignore_errors=True)

    def answer(self, text, *keys):
        self.term.type(text)
        self.term.keys(*keys, "Enter")

    def line_shows(self, row_text):
        self.term.wait(lambda: row_text in self.term.screen(), what=repr(row_text))

    def test_whole_questionnaire_through_the_keyboard(self):
        # Judged by the results file and the exit code: under load Wine's
        # drawing of an edited line on the terminal may lag or repeat it.
        t = self.term
        self.answer("okx", "BSpace")
        t.wait_for_text(TYPE_QUESTION)
        t.type("IE")
        t.keys("Left")
        t.type("L")
        t.keys("End", "Enter")
        t.wait_for_text(SURE_QUESTION)
        self.answer("870", "Left", "Left", "Delete")
        t.wait_for_text(HINT)
        lines = ["ok", "ILE", "80"]
        for q in range(54):
            answer = "y" if q % 3 else "n"
            if q == 10:
                self.answer("y", "Tab")  # trailing blanks: shown again
                lines.append("y" + " " * 7)
            self.answer(answer)
            lines.append(answer)
        t.wait_for_text("Remember : this test is not 100% reliable.")
        self.answer("ok")
        lines.append("ok")
        t.wait(t.dead, what="the program to end")
        self.assertEqual(t.exit_status(), 0)
        _, results, code = model(("\n".join(lines) + "\n").encode(), BANK)
        self.assertEqual(code, 0)
        with open(os.path.join(self.dir, "RESULTS.TXT"), "rb") as f:
            self.assertEqual(f.read(), results)

    def test_long_paste_arrives_whole(self):
        t = self.term
        self.answer("ok")
        t.wait_for_text(TYPE_QUESTION)
        pasted = "".join("abcdefghijklmnopqrstuvwxyz"[i % 26] + "0123456789"[i % 10]
                         for i in range(450))
        t.paste(pasted)
        t.wait(lambda: pasted[-20:] in "".join(t.screen()), what="the paste")
        t.keys("Enter")
        lines = ["ok", pasted, "80"] + ["y"] * 54 + ["ok"]
        for text in lines[2:]:
            self.answer(text)
        t.wait(t.dead, what="the program to end")
        _, results, _ = model(("\n".join(lines) + "\n").encode(), BANK)
        with open(os.path.join(self.dir, "RESULTS.TXT"), "rb") as f:
            self.assertEqual(f.read(), results)

    def test_refused_consent_ends_at_once(self):
        self.answer("no")
        self.term.wait(self.term.dead, what="the program to end")
        self.assertEqual(self.term.exit_status(), 0)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "RESULTS.TXT")))

    def at_type_prompt(self):
        """Consents and waits for the expected-type question."""
        self.answer("ok")
        self.term.wait_for_text(TYPE_QUESTION)

    def typed_line(self):
        """The row the expected type is typed on."""
        rows = self.term.screen()
        return rows[next(i for i, row in enumerate(rows) if TYPE_QUESTION in row) + 1].rstrip()

    def test_home_moves_to_the_start_or_is_no_key(self):
        self.at_type_prompt()
        self.term.type("LE")
        self.line_shows("LE")
        self.term.keys("Home")
        self.term.type("I")
        self.term.wait(lambda: "I" in self.typed_line(), what="the I")
        self.assertIn(self.typed_line(), ("ILE", "LEI"))

    def test_esc_erases_the_line_or_is_no_key(self):
        self.at_type_prompt()
        self.term.type("wrong")
        self.line_shows("wrong")
        self.term.keys("Escape")
        # A key typed at once would follow the Esc as Alt+key on a terminal:
        # give Wine's console its time to take the Esc alone.
        try:
            self.term.wait(lambda: "wrong" not in self.typed_line(), timeout=2, what="the erase")
        except AssertionError:
            pass
        self.term.type("x")
        self.term.wait(lambda: "x" in self.typed_line(), what="the x")
        self.assertIn(self.typed_line(), ("x", "wrongx"))


@unittest.skipUnless(shutil.which("tmux"), "needs tmux")
@unittest.skipUnless(os.path.exists(RESULTS_PROGRAM), "needs the Windows build")
class WineConsoleChart(unittest.TestCase):
    def test_chart_rows_follow_each_other_at_the_console_width(self):
        folder = tempfile.mkdtemp(prefix="pelorin-wine-")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        _, results, _ = model(b"ok\nILE\n80\n" + b"y\n" * 54 + b"ok\n", BANK)
        with open(os.path.join(folder, "RESULTS.TXT"), "wb") as f:
            f.write(results)
        with Terminal("%s %s show" % (WINE, RESULTS_PROGRAM), 60, 30, cwd=folder) as t:
            t.wait(t.dead, timeout=WINE_START, what="the chart")
            rows = t.screen()
        # The console wraps as soon as a row's last cell is written: a row
        # that filled it would be followed by an empty one.
        first = next(i for i, row in enumerate(rows) if row.startswith("* LII"))
        self.assertTrue(rows[first + 1].startswith("  ILI"), "\n".join(rows))


if __name__ == "__main__":
    unittest.main()
