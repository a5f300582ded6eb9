#!/usr/bin/env python3
"""Scripted whole-program runs: standard input and output redirected.

Each run starts the built program in a fresh directory with the script as
standard input, and compares standard output, RESULTS.TXT and the exit code
byte for byte with what the rules give: hand-written expectations where the
rules name exact values, and the independent model (dialogue_model.py)
everywhere. Standard error must stay empty, but for the one line that says
RESULTS.TXT was not saved.

Environment: PELORIN_PROGRAM (the program), PELORIN_BANK (the bank's source).
Run one group with: scripted_test.py Consent
"""

import os
import random
import resource
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from dialogue_model import load_bank, model  # noqa: E402

PROGRAM = os.environ.get("PELORIN_PROGRAM", "build/release/pelorin")
PROGRAM_PREFIX = [os.path.abspath(p) if os.path.exists(p) else p  # e.g. a Wine launcher
                  for p in os.environ.get("PELORIN_PROGRAM_PREFIX", "").split()]
# Another build whose runs must come out byte for byte the same (the Linux
# build, when the program under test is the Windows one).
REFERENCE = os.environ.get("PELORIN_REFERENCE_PROGRAM")
BANK = load_bank(os.environ.get("PELORIN_BANK", "typetest/question_bank.cpp"))
GOLDEN = Path(__file__).resolve().parent / "golden"
TIMEOUT = float(os.environ.get("PELORIN_TIMEOUT", "10"))
# What starting the program costs on top (a Wine launcher takes a while).
START_SECONDS = float(os.environ.get("PELORIN_START_SECONDS", "0"))
# Any finite input ends the program within a second of its own processor
# time: processor time, not time on the clock, which on a loaded machine is
# mostly the wait for a processor (a hang is caught by TIMEOUT).
PROMPT_END = 1.0 + START_SECONDS

ALL_YES = ["16.6", "17.55", "17.69", "18.59", "17.69", "19.55", "15.79", "17.2",
           "20.64", "20.84", "18.85", "19.4", "18.94", "19.45", "20.44", "19.64"]
ALL_NO = ["7.9", "7.4", "8.64", "7.75", "9.04", "8.64", "9.4", "8.6",
          "7.3", "7", "7.25", "6.55", "7.95", "7.85", "7.69", "7.19"]
TYPES = ["ILE", "LIE", "IEE", "EIE", "SLE", "LSE", "SEE", "ESE",
         "ILI", "LII", "IEI", "EII", "SLI", "LSI", "SEI", "ESI"]


def lines(*items, end=b"\n"):
    return b"".join((i.encode("latin-1") if isinstance(i, str) else i) + end for i in items)


def results_file(scores, answers, expected_line):
    body = [b"Test Results from Pelorin 0.1.5"]
    body += [("%s : %s" % (t, s)).encode() for t, s in zip(TYPES, scores)]
    body += [b"Answers : " + answers, expected_line]
    return b"".join(line + b"\r\n" for line in body)


class Outcome:
    def __init__(self, stdout, stderr, code, results, cpu_seconds):
        self.stdout, self.stderr, self.code = stdout, stderr, code
        self.results, self.cpu_seconds = results, cpu_seconds


def children_cpu_seconds():
    used = resource.getrusage(resource.RUSAGE_CHILDREN)
    return used.ru_utime + used.ru_stime


def run_program(data, prepare=None, user=None, feeder=None, program=None, prefix=None):
    """Runs the program on `data`; `prepare(dir)` sets up the directory."""
    with tempfile.TemporaryDirectory(prefix="pelorin-e2e-") as d:
        if prepare:
            prepare(Path(d))
        if user:
            os.chmod(d, 0o777)
        cmd = (PROGRAM_PREFIX if prefix is None else prefix) + [os.path.abspath(program or PROGRAM)]
        if user:
            cmd = ["setpriv", "--reuid=" + user, "--regid=" + user, "--clear-groups"] + cmd
        start = children_cpu_seconds()
        if feeder is None:
            with tempfile.TemporaryFile() as stdin:
                stdin.write(data)
                stdin.seek(0)
                p = subprocess.run(cmd, stdin=stdin, capture_output=True, cwd=d, timeout=TIMEOUT)
            stdout, stderr, code = p.stdout, p.stderr, p.returncode
        else:
            p = subprocess.Popen(cmd, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, cwd=d)
            feeder(p.stdin, data)
            stdout, stderr = p.communicate(timeout=TIMEOUT)
            code = p.returncode
        cpu_seconds = children_cpu_seconds() - start
        path = Path(d) / "RESULTS.TXT"
        results = path.read_bytes() if path.is_file() else None
        if path.is_dir():
            results = "directory"
        return Outcome(stdout, stderr, code, results, cpu_seconds)


class Scripted(unittest.TestCase):
    maxDiff = 4000

    def check(self, data, prepare=None, results="model", code=None, user=None):
        """Runs `data` and compares everything with the model."""
        out = run_program(data, prepare, user)
        want_stdout, want_results, want_code = model(data, BANK)
        told = rb"\Apelorin: the results were not saved to RESULTS\.TXT: .+\r?\n\Z"  # and why
        self.assertRegex(out.stderr, told if code == 4 else rb"\A\Z")
        self.assertEqual(out.stdout, want_stdout)
        self.assertEqual(out.code, want_code if code is None else code)
        self.assertEqual(out.results, want_results if results == "model" else results)
        if REFERENCE and user is None:
            ref = run_program(data, prepare, program=REFERENCE, prefix=[])
            self.assertEqual((out.stdout, out.results, out.code), (ref.stdout, ref.results, ref.code))
        return out


class Scores(Scripted):
    def test_every_statement_yes(self):
        out = self.check(lines("ok", "ILE", "80", *["y"] * 54, "ok"), code=0)
        self.assertEqual(out.results, results_file(ALL_YES, b"1" * 54, b"Expected TIM : ILE (80)"))
        shown = b"".join(("%s : %s\r\n" % (t, s)).encode() for t, s in zip(TYPES, ALL_YES))
        self.assertIn(b"\r\nTest Results :\r\n\r\n" + shown + b"\r\n", out.stdout)

    def test_every_statement_no(self):
        out = self.check(lines("ok", "", "", *["n"] * 54, "ok"), code=0)
        self.assertEqual(out.results, results_file(ALL_NO, b"0" * 54, b"Expected TIM :  ()"))
        self.assertIn(b"LII : 7\r\n", out.stdout)

    def test_golden_transcript_of_every_statement_yes(self):
        out = run_program(lines("ok", "ILE", "80", *["y"] * 54, "ok"))
        self.assertEqual(out.stdout, (GOLDEN / "all_yes.out").read_bytes())

    def test_back_navigation_detours(self):
        script = ["ok", "LII", "55", "p", "p", "y"]
        for q in range(2, 54):
            script += ["n", "p", "y"] if q % 4 == 0 else (["yes", "no", "", "Y"] if q % 7 == 0 else ["n"])
        script += ["N", "ok"]
        out = self.check(lines(*script), code=0)
        row = "".join("1" if q == 1 or q % 4 == 0 or q % 7 == 0 else "0" for q in range(1, 55))
        self.assertIn(b"Answers : " + row.encode() + b"\r\n", out.results)


class Fields(Scripted):
    def test_noisy_answers(self):
        script = lines("   oK", "\t\"ESE\"", " 100 %", "y  ", "  y", "\ty", "\"y\"", "\"n\" trailing",
                       "y,n", "\"y", "n, ignored?", "p", "nonsense", *["n"] * 48, "0k", "Ok")
        self.check(script, code=0)

    def test_quotes_commas_and_blank_lines(self):
        script = lines("ok", "\"a, b\" c", ",", "", "   ", *["y,n"] * 27, "\"\"", "ok")
        self.check(script, code=0)

    def test_crlf_reads_like_lf(self):
        plain = lines("ok", "ILE", "80", *["y", "n"] * 27, "ok")
        crlf = lines("ok", "ILE", "80", *["y", "n"] * 27, "ok", end=b"\r\n")
        a, b = run_program(plain), run_program(crlf)
        self.assertEqual(a.stdout, b.stdout)
        self.assertEqual(a.results, b.results)
        self.check(crlf, code=0)

    def test_lone_carriage_returns_read_like_line_feeds(self):
        script = ["ok", "ILE", "80", *["y", "n", "p", "y"] * 27, "ok"]
        plain = run_program(lines(*script))
        lone_cr = self.check(lines(*script, end=b"\r"), code=0)
        self.assertEqual((lone_cr.stdout, lone_cr.results), (plain.stdout, plain.results))
        self.assertIn(b"Expected TIM : ILE (80)\r\n", lone_cr.results)

    def test_a_byte_after_a_closing_quote_is_the_next_answer(self):
        out = self.check(lines("ok", "ILE", "80", *['"y"y'] * 27, "ok"), code=0)
        self.assertEqual(out.results, results_file(ALL_YES, b"1" * 54, b"Expected TIM : ILE (80)"))

    def test_zero_high_and_long_bytes(self):
        script = (b"ok\n" + b"I\0LE\n" + b"\xe9\xff\n" + b"y" * 5000 + b"\n" + b"y\0junk\n"
                  + b"n\n" * 53 + b"\"" + b"o" * 4100 + b"\"\nok")
        out = self.check(script, code=0)
        self.assertIn(b"Expected TIM : I (\xe9\xff)\r\n", out.results)


class Consent(Scripted):
    def test_refusals_end_at_once(self):
        intro = (GOLDEN / "introduction.out").read_bytes()
        for answer in [b"okay\n", b"o k\n", b"ok \n", b"\n", b"", b"no\n", b"ok\t\n", b"   \n"]:
            with self.subTest(answer=answer):
                out = self.check(answer + lines(*["y"] * 60), code=0, results=None)
                self.assertEqual(out.stdout, intro)

    def test_refusal_leaves_an_existing_file_alone(self):
        old = b"an earlier run\r\n"
        self.check(b"nope\n", prepare=lambda d: (d / "RESULTS.TXT").write_bytes(old), code=0,
                   results=old)


class EndOfInput(Scripted):
    def test_end_in_the_statement_loop_exits_1_without_a_file(self):
        for script in [lines("ok"), lines("ok", "ILE"), lines("ok", "ILE", "80"),
                       lines("ok", "ILE", "80", *["y"] * 30),
                       lines("ok", "ILE", "80", *["y"] * 53) + b" \t "]:
            with self.subTest(script=script[:40]):
                out = self.check(script, code=1, results=None)
                self.assertTrue(out.stdout.endswith(
                    b"\r\n\r\nType 'y' for YES, 'n' for NO, 'p' for previous question.\r\n"))
                self.assertLess(out.cpu_seconds, PROMPT_END)

    def test_end_in_the_loop_leaves_an_existing_file_unchanged(self):
        old = b"Test Results from an earlier run\r\n"
        self.check(lines("ok", "ILE", "80", "y"),
                   prepare=lambda d: (d / "RESULTS.TXT").write_bytes(old), code=1, results=old)

    def test_golden_transcript_of_an_early_end(self):
        out = run_program(lines("ok", "ILE", "80"))
        self.assertEqual(out.stdout, (GOLDEN / "ended_at_statement_1.out").read_bytes())
        self.assertEqual(out.code, 1)

    def test_end_at_the_final_prompt_keeps_the_complete_file(self):
        out = self.check(lines("ok", "ILE", "80", *["y"] * 54, "not yet"), code=0)
        self.assertEqual(out.results, results_file(ALL_YES, b"1" * 54, b"Expected TIM : ILE (80)"))

    def test_last_answer_without_a_line_feed_counts(self):
        out = self.check(lines("ok", "ILE", "80", *["y"] * 53) + b"y", code=0)
        self.assertEqual(out.results, results_file(ALL_YES, b"1" * 54, b"Expected TIM : ILE (80)"))


class ResultsFile(Scripted):
    SCRIPT = lines("ok", "ILE", "80", *["y"] * 54, "ok")

    def test_a_longer_existing_file_is_replaced(self):
        self.check(self.SCRIPT, prepare=lambda d: (d / "RESULTS.TXT").write_bytes(b"x" * 9000),
                   code=0)

    def test_a_directory_in_the_way_is_left_alone(self):
        self.check(self.SCRIPT, prepare=lambda d: (d / "RESULTS.TXT").mkdir(), code=4,
                   results="directory")

    @unittest.skipUnless(shutil.which("setpriv"), "needs setpriv to drop root")
    @unittest.skipIf(PROGRAM_PREFIX and os.geteuid() == 0,
                     "the launcher's prefix belongs to root; a directory in the way covers it")
    def test_a_read_only_file_keeps_its_content(self):
        old = b"read-only results\r\n"

        def prepare(d):
            (d / "RESULTS.TXT").write_bytes(old)
            os.chmod(d / "RESULTS.TXT", 0o444)
        user = "65534" if os.geteuid() == 0 else None  # root writes read-only files
        self.check(self.SCRIPT, prepare=prepare, code=4, results=old, user=user)


class Robustness(Scripted):
    def test_pipe_chunking_does_not_matter(self):
        script = lines("ok", "SEI", "70", *["y", "n", "p"] * 30, *["n"] * 40, "ok")
        whole = run_program(script)

        def trickle(pipe, data):
            rng = random.Random(7)
            i = 0
            while i < len(data):
                n = rng.randint(1, 17)
                pipe.write(data[i:i + n])
                pipe.flush()
                i += n
                if rng.random() < 0.05:
                    time.sleep(0.002)
        chunked = run_program(script, feeder=trickle)
        self.assertEqual(whole.stdout, chunked.stdout)
        self.assertEqual(whole.results, chunked.results)
        self.assertEqual(whole.code, chunked.code)

    def test_random_inputs_end_promptly_as_the_model_says(self):
        rng = random.Random(20261209)
        alphabet = [b"y", b"n", b"p", b"Y", b"ok", b"OK", b" ", b"\t", b",", b"\"", b"\r", b"\n",
                    b"\r\n", b"\0", b"\xff", b"x", b"yes"]
        for k in range(60):
            parts = [b"ok\n"] if k % 3 else []
            parts += [rng.choice(alphabet) for _ in range(rng.randint(0, 400))]
            data = b"".join(parts)
            with self.subTest(k=k):
                out = self.check(data)
                self.assertLess(out.cpu_seconds, PROMPT_END)
                self.assertLess(len(out.stdout), 200 * 1024)


if __name__ == "__main__":
    unittest.main()
