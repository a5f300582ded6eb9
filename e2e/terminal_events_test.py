#!/usr/bin/env python3
"""The questionnaire on a real terminal while everyday things happen to it.

The window changes size mid-session, mid-answer and after the report; a long
text is pasted; characters the console has no key for are typed; the program
is suspended and brought back; it crashes; the terminal cannot be drawn on;
an answer is longer than the whole window. After each, what the screen shows
must be what the program holds, and RESULTS.TXT what the dialogue model
computes from the answers as the user typed them.

Environment: PELORIN_PROGRAM, PELORIN_BANK.
"""

import os
import shlex
import shutil
import signal
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from dialogue_model import load_bank, model  # noqa: E402
from tmux_harness import ScratchDirTestCase, Terminal, child_of  # noqa: E402

PROGRAM = os.path.abspath(os.environ.get("PELORIN_PROGRAM", "build/release/pelorin"))
BANK = load_bank(os.environ.get("PELORIN_BANK", "typetest/question_bank.cpp"))
INTRO_END = "type 'ok' and press [ENTER] to continue."
TYPE_PROMPT = "format) :"
CONFIDENCE_PROMPT = "(in %)"
HINT = "Type 'y' for YES, 'n' for NO, 'p' for previous question."
REMARK = "Remember : this test is not 100% reliable."
STATEMENTS = len(BANK)


def distinct(n):
    """n characters in which every run of 3 occurs once."""
    letters = "abcdefghijklmnopqrstuvwxyz"
    return "".join(letters[i % 26] + letters[(i // 26) % 26] for i in range((n + 1) // 2))[:n]


@unittest.skipUnless(shutil.which("tmux"), "needs tmux")
class TerminalEvents(ScratchDirTestCase):
    def start(self, cols, rows, env=None, command=None):
        term = Terminal(command or PROGRAM, cols, rows, cwd=self.dir, env=env)
        self.addCleanup(term.close)
        term.wait(lambda: self.shown(term).endswith(INTRO_END), what="the introduction")
        return term

    @staticmethod
    def answer(term, text, wait_for=None):
        term.type(text)
        term.keys("Enter")
        if wait_for:
            term.wait_for_text(wait_for)

    def at_prompt(self, term):
        """The cursor waits in column 1 of the bottom row, below the hint."""
        term.wait(lambda: term.cursor() == (1, term.rows), what="the prompt on the bottom row")
        self.assertEqual([r for r in term.screen() if r][-1], HINT)

    @staticmethod
    def shown(term):
        """The screen as one text, rows padded to the width."""
        return "".join(r.ljust(term.cols) for r in term.screen()).rstrip()

    def finish(self, term, lines, answered):
        """Answers every statement left with y, then the final ok; the
        report must be on the screen and RESULTS.TXT what `lines` give."""
        for _ in range(STATEMENTS - answered):
            self.answer(term, "y")
        term.wait(lambda: self.shown(term).endswith(INTRO_END), timeout=10, what="the report")
        if term.rows >= 16:
            self.assertTrue(any(r.startswith("ESI :") for r in term.screen()), term.screen())
        self.answer(term, "ok")
        term.wait(term.dead, what="the end")
        self.assertEqual(term.exit_status(), 0)
        lines = lines + ["y"] * (STATEMENTS - answered) + ["ok"]
        _, results, _ = model(("\n".join(lines) + "\n").encode(), BANK)
        self.assertEqual(self.read_bytes("RESULTS.TXT"), results)

    # ---- the window follows the terminal -----------------------------------

    def half_typed(self, term, cols, rows):
        """At the type prompt, the window becomes cols x rows between I and
        LE; the answer goes on where it was."""
        self.answer(term, "ok", TYPE_PROMPT)
        term.type("I")
        term.wait(lambda: term.screen()[term.cursor()[1] - 1] == "I", what="the echo")
        term.resize(cols, rows)
        term.type("LE")
        term.wait(lambda: "ILE" in term.screen() and term.cursor()[0] == 4, what="the answer")
        self.answer(term, "", CONFIDENCE_PROMPT)
        self.answer(term, "50", HINT)

    def test_window_made_shorter_mid_answer_and_mid_session(self):
        term = self.start(80, 24)
        self.half_typed(term, 80, 23)
        term.resize(80, 21)
        for text in ["y", "n", "y"]:
            self.answer(term, text)
        term.wait_for_text("Q  4:")
        self.at_prompt(term)
        # Each statement on its own rows: nothing piled up on the bottom one.
        for row in term.screen():
            self.assertLessEqual(row.count("Q  "), 1, row)
        self.finish(term, ["ok", "ILE", "50", "y", "n", "y"], 3)

    def test_window_made_taller_mid_answer_and_mid_session(self):
        term = self.start(80, 18)
        self.half_typed(term, 80, 20)
        self.answer(term, "y", "Q  2:")
        term.resize(80, 30)
        for text in ["n"] * 6:
            self.answer(term, text)
        term.wait_for_text("Q  8:")
        # The rows gained are used: the prompt is on the new bottom row, and
        # no older statement stays below the current one.
        self.at_prompt(term)
        statements = [r for r in term.screen() if r.startswith("Q  ")]
        self.assertTrue(statements[-1].startswith("Q  8:"), statements)
        self.finish(term, ["ok", "ILE", "50", "y"] + ["n"] * 6, 7)

    def test_window_made_narrower_and_wider_mid_answer(self):
        term = self.start(80, 24)
        self.answer(term, "ok", TYPE_PROMPT)
        typed = distinct(100)
        term.type(typed)
        term.wait(lambda: typed[-20:] in "".join(term.screen()), what="the answer")
        term.resize(50, 24)
        term.keys("Home")
        term.type("X")
        # The answer shows whole and once, at the new width, the cursor
        # right after the X.
        want = ("X" + typed)
        term.wait(lambda: want[:50] in term.screen(), what="the answer laid out again")
        rows = term.screen()
        first = rows.index(want[:50])
        self.assertEqual(rows[first + 1:first + 3], [want[50:100], want[100:]])
        self.assertEqual("".join(rows).count(typed[:30]), 1)  # no copy of the old layout
        self.assertEqual(term.cursor(), (2, first + 1))
        term.resize(90, 30)
        term.keys("End")
        term.type("Y")
        term.wait(lambda: (want + "Y")[:90] in term.screen(), what="the answer at 90 columns")
        self.answer(term, "", CONFIDENCE_PROMPT)
        self.answer(term, "50", HINT)
        self.finish(term, ["ok", want + "Y", "50"], 0)

    def test_window_changed_before_and_after_the_report(self):
        term = self.start(60, 20)
        lines = ["ok", "ILE", "50"] + ["y"] * (STATEMENTS - 1)
        for text in lines:
            self.answer(term, text)
        term.wait_for_text("Q 54:")
        term.resize(45, 16)
        self.answer(term, "y")
        term.wait(lambda: self.shown(term).endswith(INTRO_END) and term.cursor() == (1, 16),
                  timeout=10, what="the report at 45 columns, the prompt at the bottom")
        self.assertTrue(any(r.startswith("ESI :") for r in term.screen()), term.screen())
        term.resize(70, 24)
        term.wait(lambda: REMARK in term.screen(), what="the report at 70 columns")
        screen = term.screen()
        self.assertTrue(any(r.startswith("ESI :") for r in screen), screen)
        self.assertEqual([r for r in screen if r][-1], INTRO_END)
        # Narrower, then wider: the rows that left the top come back.
        term.resize(30, 10)
        term.wait(lambda: " continue." in term.screen(), what="the report at 30 columns")
        term.resize(70, 24)
        term.wait(lambda: "Test Results :" in term.screen(), what="the whole report at 70 columns")
        self.answer(term, "ok")
        term.wait(term.dead, what="the end")
        _, results, _ = model(("\n".join(lines + ["y", "ok"]) + "\n").encode(), BANK)
        self.assertEqual(self.read_bytes("RESULTS.TXT"), results)

    def test_results_not_saved_said_in_the_window(self):
        # Standard error is this terminal: the line is drawn as output, and again at a new width.
        os.mkdir(self.path("RESULTS.TXT"))
        term = self.start(80, 25)
        for text in ["ok", "ILE", "80"] + ["y"] * STATEMENTS:
            self.answer(term, text)
        told = ["", "pelorin: the results were not saved to RESULTS.TXT: Is a directory",
                "The more the type has a large number, the more it's probable for you.", REMARK,
                INTRO_END, ""]
        for cols in (80, 75):
            term.resize(cols, 25)
            term.wait(lambda: term.screen()[-6:] == told and term.cursor() == (1, 25))
        self.answer(term, "ok")
        term.wait(term.dead, what="the end")
        self.assertEqual(term.exit_status(), 4)

    # ---- no typed key is lost; a typed character is text ---------------------

    def test_long_paste_arrives_whole(self):
        term = self.start(80, 24)
        self.answer(term, "ok", TYPE_PROMPT)
        pasted = distinct(900)
        term.paste(pasted)
        term.wait(lambda: pasted[-30:] in "".join(term.screen()), what="the end of the paste")
        term.keys("Enter")
        term.wait_for_text(CONFIDENCE_PROMPT)
        self.answer(term, "80", HINT)
        self.finish(term, ["ok", pasted, "80"], 0)

    def test_long_answer_keeps_4096_typed_characters(self):
        """The field's limit counts the characters typed, not the bytes the
        terminal's encoding gives them in RESULTS.TXT: none is cut in two."""
        term = self.start(80, 24)
        self.answer(term, "ok", TYPE_PROMPT)
        kept = "\u2588" * 4093 + "END"
        term.paste(kept + "x")
        term.wait(lambda: "ENDx" in "".join(term.screen()), what="the end of the paste")
        term.keys("Enter")
        term.wait_for_text(CONFIDENCE_PROMPT)
        self.answer(term, "80", HINT)
        for _ in range(STATEMENTS):
            self.answer(term, "y")
        term.wait(lambda: self.shown(term).endswith(INTRO_END), timeout=10, what="the report")
        self.answer(term, "ok")
        term.wait(term.dead, what="the end")
        expected_line = self.read_bytes("RESULTS.TXT").split(b"\r\n")[18]
        self.assertEqual(expected_line, ("Expected TIM : %s (80)" % kept).encode())

    def typed_text(self, env, typed, stored):
        """`typed` at the type prompt is one answer, stored as `stored`."""
        term = self.start(60, 16, env=env)
        self.answer(term, "ok", TYPE_PROMPT)
        self.answer(term, typed, CONFIDENCE_PROMPT)
        self.answer(term, "50", HINT)
        self.finish(term, ["ok", stored, "50"], 0)

    def test_characters_typed_are_text(self):
        # The note's glyph sits where code page 437 has Enter; the euro sign
        # is not in it at all; a locale that is not installed still says UTF-8.
        self.typed_text({"LANG": "fr_FR.UTF-8", "LC_ALL": ""}, "ab♪cd€é", "ab?cd?é")

    def test_cyrillic_locale_types_cyrillic(self):
        self.typed_text({"LANG": "ru_RU.UTF-8", "LC_ALL": ""}, "ИЛЭ", "ИЛЭ")

    # ---- suspended, crashed, dumb ------------------------------------------

    @unittest.skipUnless(shutil.which("bash"), "needs bash for job control")
    def test_suspended_mid_answer_and_brought_back(self):
        term = Terminal("bash --norc --noprofile -i", 60, 12, cwd=self.dir, env={"PS1": "$ "},
                        exec_program=True)
        self.addCleanup(term.close)
        term.wait(lambda: any(r.startswith("$") for r in term.screen()), what="the shell")
        term.type(PROGRAM)
        term.keys("Enter")
        term.wait_for_text(INTRO_END)
        self.answer(term, "ok", TYPE_PROMPT)
        term.type("IL")
        term.wait(lambda: "IL" in term.screen(), what="the echo")
        term.keys("C-z")
        term.wait_for_text("Stopped")
        term.type("fg")
        term.keys("Enter")
        # After what the shell printed, the half-typed answer and its cursor.
        term.wait(lambda: term.screen()[-1] == "IL" and term.cursor() == (3, 12),
                  what="the answer drawn again")
        term.type("E")
        term.keys("Home")
        term.type("x")
        term.wait(lambda: term.screen()[-1] == "xILE" and term.cursor() == (2, 12),
                  what="editing after fg")
        self.answer(term, "", CONFIDENCE_PROMPT)
        self.answer(term, "50", HINT)
        for _ in range(STATEMENTS):
            self.answer(term, "y")
        term.wait_for_text(REMARK, timeout=10)
        self.answer(term, "ok")
        term.wait(lambda: term.screen()[-1].startswith("$"), what="the shell after the program")
        _, results, _ = model(("\n".join(["ok", "xILE", "50"] + ["y"] * STATEMENTS + ["ok"]) +
                               "\n").encode(), BANK)
        self.assertEqual(self.read_bytes("RESULTS.TXT"), results)

    def test_crash_gives_the_terminal_back(self):
        for crash in (signal.SIGSEGV, signal.SIGABRT):
            with self.subTest(signal=crash.name):
                for name in ("before", "after", "status"):
                    if os.path.exists(self.path(name)):
                        os.remove(self.path(name))
                q = shlex.quote
                script = "ulimit -c 0; stty -g > %s; %s; s=$?; stty -g > %s; echo $s > %s" % (
                    q(self.path("before")), q(PROGRAM), q(self.path("after")),
                    q(self.path("status")))
                term = Terminal("sh -c %s" % q(script), 80, 24, cwd=self.dir, exec_program=True)
                self.addCleanup(term.close)
                term.wait_for_text(INTRO_END)
                term.type("o")
                term.wait(lambda: "o" in term.screen(), what="the echo")
                os.kill(child_of(term.pid()), crash)
                ends = {str(128 + crash)}
                if os.environ.get("PELORIN_SANITIZED") and crash == signal.SIGSEGV:
                    ends.add("1")  # the sanitizer's report of the crash, after ours
                self.assertIn(self.wait_file("status"), ends)
                self.assertEqual(self.read_bytes("before"), self.read_bytes("after"))
                term.close()

    def test_terminal_that_cannot_be_drawn_on(self):
        for term_name in ("dumb", ""):
            with self.subTest(TERM=term_name):
                term = self.start(80, 24, env={"TERM": term_name})
                term.type("okx")
                term.keys("BSpace")
                # What the user sees is what the program takes.
                rows = term.screen()
                after_intro = rows.index(INTRO_END) + 1
                term.wait(lambda: term.screen()[after_intro] == "ok", what="the x erased")
                term.keys("Enter")
                term.wait_for_text(TYPE_PROMPT)
                term.close()

    # ---- an answer longer than the whole window ------------------------------

    def test_answer_longer_than_the_window(self):
        term = self.start(20, 6)
        self.answer(term, "ok", "(3 or")
        typed = distinct(150)
        term.type(typed)
        term.wait(lambda: typed[-15:] in "".join(term.screen()), what="the answer")
        term.keys("Home")
        term.type("x")
        term.wait(lambda: term.screen()[0].startswith("x"), what="x in the top row")
        shown = "".join(r.ljust(20) for r in term.screen()).rstrip()
        self.assertEqual(term.cursor(), (2, 1))
        stored = typed[:typed.index(shown[1:20])] + "x" + typed[typed.index(shown[1:20]):]
        term.resize(80, 6)
        term.wait(lambda: stored in self.shown(term), what="the whole answer, wider")
        term.keys("Enter")
        self.answer(term, "50")
        term.wait_for_text(HINT[:20])
        # The x went where the screen showed it; the rest of the screen was
        # the answer from there to its end.
        self.assertEqual(stored[stored.index("x"):], shown)
        self.finish(term, ["ok", stored, "50"], 0)


if __name__ == "__main__":
    unittest.main()
