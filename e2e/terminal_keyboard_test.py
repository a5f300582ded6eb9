#!/usr/bin/env python3
"""The questionnaire answered through the keyboard of a real terminal.

Keys go in with tmux send-keys; the line editor echoes and edits them. The
results file must be what the edited lines give (the dialogue model computes
it from the final lines), the screen must show the edited lines, and the
terminal settings must come back unchanged at every end: the final ok,
Ctrl+C, a closed pane, and Ctrl+Z with fg on the way. Where poll() refuses
terminals, as macOS's does (a preloaded shim makes Linux's do the same), the
keyboard works all the same and nothing the terminal answers is left for the
shell.

Environment: PELORIN_PROGRAM, PELORIN_BANK, PELORIN_POLL_SHIM (the shim).
"""

import os
import shlex
import shutil
import signal
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from dialogue_model import load_bank, model  # noqa: E402
from tmux_harness import ScratchDirTestCase, Terminal, process_state  # noqa: E402

PROGRAM = os.path.abspath(os.environ.get("PELORIN_PROGRAM", "build/release/pelorin"))
BANK = load_bank(os.environ.get("PELORIN_BANK", "typetest/question_bank.cpp"))
POLL_SHIM = os.environ.get("PELORIN_POLL_SHIM")
INTRO_END = "type 'ok' and press [ENTER] to continue."
HINT = "Type 'y' for YES, 'n' for NO, 'p' for previous question."

# Each answer: the keys typed (tmux key names or literal text in a 1-tuple)
# and the line they leave.
EDITED_ANSWERS = [
    ((("xok",), "Home", "Delete"), "ok"),
    ((("LE",), "Home", ("I",), "End"), "ILE"),
    ((("90",), "BSpace", "BSpace", ("80",)), "80"),
    ((("y",),), "y"),
    ((("n",), "Escape", ("y",)), "y"),
    ((("yy",), "Left", "Delete"), "y"),
    ((("x",), "BSpace", ("n",)), "n"),
    ((("y",), "Tab"), "y" + " " * 7),  # trailing blanks: not a yes, shown again
    ((("a" * 90,), "Up", "Down", "Escape", ("p",)), "p"),
    ((("Y",), "Right", "End", "Left", "Home", "Insert", "PageUp", "F1"), "Y"),
]


def press(term, keys):
    for k in keys:
        if isinstance(k, tuple):
            term.type(k[0])
        else:
            term.keys(k)


def refusing_poll(command):
    """`command` with poll() refusing terminals (a sanitizer runtime need not
    come first then)."""
    return "env LD_PRELOAD=%s ASAN_OPTIONS=verify_asan_link_order=0 %s" % (
        shlex.quote(POLL_SHIM), command)


def stty_wrapped(command, workdir):
    """Runs `command` between two `stty -g` snapshots."""
    q = shlex.quote
    return "stty -g > %s; %s; s=$?; stty -g > %s; echo $s > %s" % (
        q(os.path.join(workdir, "before")), command, q(os.path.join(workdir, "after")),
        q(os.path.join(workdir, "status")))


@unittest.skipUnless(shutil.which("tmux"), "needs tmux")
class Keyboard(ScratchDirTestCase):
    def test_whole_questionnaire_with_edits(self):
        self.whole_questionnaire_with_edits(PROGRAM)

    @unittest.skipUnless(POLL_SHIM, "needs the poll shim")
    def test_whole_questionnaire_where_poll_refuses_terminals(self):
        self.whole_questionnaire_with_edits(refusing_poll(PROGRAM))

    @unittest.skipUnless(POLL_SHIM, "needs the poll shim")
    def test_transcript_on_the_terminal_leaves_nothing_for_the_shell(self):
        """Answers from a file, the transcript on the terminal: the terminal's
        answer to where its cursor is never reaches the shell, which here reads
        what waits for it, in the moment after the program, into a file."""
        with open(self.path("answers"), "w") as f:
            f.write("\n".join(["ok", "ILE", "80"] + ["y"] * 54 + ["ok"]) + "\n")
        command = "%s < answers; stty -icanon -echo min 0 time 5; cat > left; echo done > status" % (
            refusing_poll(PROGRAM))
        with Terminal(command, 80, 25, cwd=self.dir):
            self.wait_file("status")
        self.assertEqual(self.read("left"), "")
        self.assertTrue(os.path.exists(self.path("RESULTS.TXT")))

    def whole_questionnaire_with_edits(self, command):
        lines = [line for _, line in EDITED_ANSWERS]
        lines += ["y"] * 60  # answers until the last statement, then more
        out, results, code = model(("\n".join(lines) + "\n").encode(), BANK)
        self.assertEqual(code, 0)
        with Terminal(stty_wrapped(command, self.dir), 80, 25, cwd=self.dir) as term:
            term.wait_for_text(INTRO_END)
            for keys, line in EDITED_ANSWERS:
                press(term, keys)
                term.keys("Enter")
            term.wait_for_text(HINT)
            for _ in range(60):
                term.type("y")
                term.keys("Enter")
            term.wait_for_text(INTRO_END)
            term.type("ok")
            term.keys("Enter")
            self.assertEqual(self.wait_file("status"), "0")
        with open(self.path("RESULTS.TXT"), "rb") as f:
            self.assertEqual(f.read(), results)
        self.assertEqual(self.read("before"), self.read("after"))

    def test_edited_lines_on_screen(self):
        with Terminal(PROGRAM, 40, 10, cwd=self.dir) as term:
            term.wait_for_text(INTRO_END)
            term.type("okk")
            term.keys("Left", "BSpace")
            term.wait(lambda: term.screen()[-1] == "ok" or "ok" in term.screen(),
                      what="the edited line")
            self.assertEqual(term.cursor()[0], 2, "the cursor sits on the second k's place")
            term.keys("End")
            term.wait(lambda: term.cursor()[0] == 3, what="End")
            term.keys("Enter")
            term.wait_for_text("If you already know your socionic type,")
            term.type("a" * 50)
            # Ten letters on the last row come before the wrap too: wait for all
            # fifty, then judge how they lie.
            term.wait(lambda: sum(len(r) for r in term.screen() if r and set(r) == {"a"}) == 50,
                      what="the fifty letters")
            rows = term.screen()
            self.assertIn("a" * 40, rows, "the line wraps at the window's width")
            self.assertEqual(rows[-1], "a" * 10)
            term.keys("Up")
            term.wait(lambda: term.cursor() == (11, 9), what="Up by one row")
            term.keys("Escape")
            term.wait(lambda: "a" * 40 not in term.screen(), what="Esc to blank the line")
            self.assertEqual(term.cursor()[0], 1)

    def test_ctrl_c_at_a_prompt_restores_the_terminal(self):
        command = stty_wrapped(PROGRAM, self.dir)
        # The shell survives the interrupt by its trap; the program dies of it.
        with Terminal("sh -c %s" % shlex.quote("trap true INT; " + command), 80, 25,
                      cwd=self.dir, exec_program=True) as term:
            term.wait_for_text(INTRO_END)
            term.type("o")
            term.wait(lambda: "o" in term.screen(), what="the echo")
            term.keys("C-c")
            self.assertEqual(self.wait_file("status"), str(128 + signal.SIGINT))
        self.assertEqual(self.read("before"), self.read("after"))
        self.assertFalse(os.path.exists(self.path("RESULTS.TXT")))

    def closed_pane(self, answers_before_close):
        with Terminal(PROGRAM, 80, 25, cwd=self.dir, exec_program=True) as term:
            term.wait_for_text(INTRO_END)
            pid = term.pid()
            for a in answers_before_close:
                term.type(a)
                term.keys("Enter")
            if answers_before_close:
                term.wait(lambda: os.path.exists(self.path("RESULTS.TXT")) or
                          len(answers_before_close) < 50, what="the report")
                term.wait_for_text(INTRO_END if len(answers_before_close) > 50 else HINT)
            start = time.monotonic()
            term.tmux("kill-pane", "-t", "t")
            while process_state(pid) not in ("", "Z"):
                self.assertLess(time.monotonic() - start, 1.0, "still running after the close")
                time.sleep(0.01)

    def test_closing_the_terminal_before_the_report(self):
        with open(self.path("RESULTS.TXT"), "wb") as f:
            f.write(b"an earlier run\r\n")
        self.closed_pane(["ok", "ILE", "80", "y", "n"])
        with open(self.path("RESULTS.TXT"), "rb") as f:
            self.assertEqual(f.read(), b"an earlier run\r\n")

    def test_closing_the_terminal_at_the_final_prompt(self):
        answers = ["ok", "ILE", "80"] + ["y"] * 54
        self.closed_pane(answers)
        _, results, _ = model(("\n".join(answers) + "\n").encode(), BANK)
        with open(self.path("RESULTS.TXT"), "rb") as f:
            self.assertEqual(f.read(), results)

    @unittest.skipUnless(shutil.which("bash"), "needs bash for job control")
    def test_ctrl_z_and_fg(self):
        q = shlex.quote
        with Terminal("bash --norc --noprofile -i", 80, 25, cwd=self.dir,
                      env={"PS1": "$ "}, exec_program=True) as term:
            term.wait(lambda: any(r.startswith("$") for r in term.screen()), what="the shell")
            term.type("stty -g > %s; %s" % (q(self.path("before")), PROGRAM))
            term.keys("Enter")
            term.wait_for_text(INTRO_END)
            term.type("ok")
            term.keys("Enter")
            term.wait_for_text("If you already know your socionic type,")
            term.keys("C-z")
            term.wait_for_text("Stopped")
            term.type("stty -g > %s" % q(self.path("stopped")))
            term.keys("Enter")
            self.wait_file("stopped")
            self.assertEqual(self.read("before"), self.read("stopped"))
            term.type("fg")
            term.keys("Enter")
            term.wait(lambda: any(PROGRAM in r for r in term.screen()), what="fg")
            answers = ["ILE", "80"] + ["y"] * 54 + ["ok"]
            for a in answers:
                term.type(a)
                term.keys("Enter")
            term.wait(lambda: term.screen()[-1].startswith("$"), timeout=10,
                      what="the shell's prompt after the program")
            term.type("echo $? > %s" % q(self.path("status")))
            term.keys("Enter")
            self.assertEqual(self.wait_file("status"), "0")
            _, results, _ = model(("\n".join(["ok"] + answers) + "\n").encode(), BANK)
            with open(self.path("RESULTS.TXT"), "rb") as f:
                self.assertEqual(f.read(), results)


    @unittest.skipUnless(shutil.which("bash"), "needs bash for job control")
    def test_answers_from_a_file_in_the_background(self):
        """`pelorin < answers &` draws its transcript from the background and
        ends, rather than being stopped for touching the terminal's mode."""
        with open(self.path("answers"), "w") as f:
            f.write("\n".join(["ok", "ILE", "80"] + ["y"] * 54 + ["ok"]) + "\n")
        with Terminal("bash --norc --noprofile -i", 80, 25, cwd=self.dir,
                      env={"PS1": "$ "}, exec_program=True) as term:
            term.wait(lambda: any(r.startswith("$") for r in term.screen()), what="the shell")
            term.type("%s < answers & wait $!; echo $? > status" % PROGRAM)
            term.keys("Enter")
            self.assertEqual(self.wait_file("status"), "0")
        self.assertTrue(os.path.exists(self.path("RESULTS.TXT")))


if __name__ == "__main__":
    unittest.main()
