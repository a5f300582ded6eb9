#!/usr/bin/env python3
"""pelorin-results over results files that the real pelorin wrote.

Thirty files come from scripted runs of pelorin with varied answers and
varied expected types and confidences (codes, four-letter forms, nothing,
commas, quotes, parentheses, high bytes, an escape byte), ties at the top
included. The expectations are worked out here from the files' own lines,
with exact decimals: csv must give the files' values, summary the counts and
means, show the ranking. Bad files, the command line, golden charts and a
real terminal (tmux) at 40 and 120 columns are checked too.

Environment: PELORIN_PROGRAM, PELORIN_RESULTS_PROGRAM.
Run one group with: results_test.py Csv
"""

import csv
import io
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from decimal import ROUND_HALF_UP, Decimal
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from tmux_harness import Terminal  # noqa: E402

HERE = Path(__file__).resolve().parent
PELORIN = os.path.abspath(os.environ.get("PELORIN_PROGRAM", "build/release/pelorin"))
RESULTS = os.path.abspath(os.environ.get("PELORIN_RESULTS_PROGRAM",
                                         "build/release/pelorin-results"))
GOLDEN = HERE / "golden"
TIMEOUT = 20
TYPES = ["ILE", "LIE", "IEE", "EIE", "SLE", "LSE", "SEE", "ESE",
         "ILI", "LII", "IEI", "EII", "SLI", "LSI", "SEI", "ESI"]
FOUR_LETTERS = ["ENTP", "ENTJ", "ENFP", "ENFJ", "ESTP", "ESTJ", "ESFP", "ESFJ",
                "INTP", "INTJ", "INFP", "INFJ", "ISTP", "ISTJ", "ISFP", "ISFJ"]
# A row of answers whose scores tie at the top: EIE and LII, 17.94.
TIED_AT_THE_TOP = "ynynnnynnnyyyyynnyynynnnynnynyynynyynyyynynynnnyyyyyny"
# (what is typed as the expected type, what the file keeps); the same for
# the confidence.
EXPECTED = [(b"LII", b"LII"), (b"ile", b"ile"), (b"  INTj", b"INTj"), (b"", b""),
            (b"xyz", b"xyz"), (b'"ILE, maybe"', b"ILE, maybe"), (b'I"L"E', b'I"L"E'),
            (b"ILE (Don Quixote)", b"ILE (Don Quixote)"), (b"\xe9\xe8", b"\xe9\xe8"),
            (b"\x1b[31mSEI", b"\x1b[31mSEI"), (b"esi", b"esi")]
CONFIDENCE = [(b"80", b"80"), (b"100 %", b"100 %"), (b"", b""),
              (b'"ninety, or so"', b"ninety, or so"), (b"55.5", b"55.5")]


def run(args, stdin=b"", cwd=None, env=None):
    return subprocess.run([RESULTS] + args, input=stdin, capture_output=True, cwd=cwd,
                          timeout=TIMEOUT, env=env)


def pelorin_file(directory, name, expected, confidence, answers):
    """RESULTS.TXT of a scripted run, saved as `name`."""
    script = b"ok\n" + expected + b"\n" + confidence + b"\n" + answers + b"ok\n"
    with tempfile.TemporaryDirectory(prefix="pelorin-results-run-") as d:
        p = subprocess.run([PELORIN], input=script, capture_output=True, cwd=d, timeout=TIMEOUT)
        assert p.returncode == 0, p
        data = (Path(d) / "RESULTS.TXT").read_bytes()
    (Path(directory) / name).write_bytes(data)
    return data


def varied_answers(rng, k):
    if k == 0:
        return b"y\n" * 54
    if k == 1:
        return b"n\n" * 54
    if k == 2:
        return "".join(a + "\n" for a in TIED_AT_THE_TOP).encode()
    out = b""
    for _ in range(54):
        answer = rng.choice(b"yn")
        if rng.random() < 0.1:  # a detour: the other answer, back, then this one
            out += bytes([b"yn"[answer == ord("y")]]) + b"\np\n"
        out += bytes([answer]) + b"\n"
    return out


class Record:
    """A results file's values, taken from its lines."""

    def __init__(self, name, data):
        lines = data.split(b"\r\n")
        assert len(lines) == 20 and lines[19] == b""
        self.name = name
        self.texts = [line.split(b" : ", 1)[1].decode() for line in lines[1:17]]
        self.values = [Decimal(t) for t in self.texts]
        self.answers = lines[17][len(b"Answers : "):]
        self.expected, self.confidence = None, None
        best = max(self.values)
        self.top = [i for i in range(16) if self.values[i] == best]
        self.order = sorted(range(16), key=lambda i: -self.values[i])  # stable: ties in type order

    def named(self):
        typed = self.expected.strip(b" \t").decode("latin-1").upper()
        for i in range(16):
            if typed in (TYPES[i], FOUR_LETTERS[i]):
                return i
        return None


FILES = None  # (directory, [Record]) made once


def setUpModule():
    global FILES
    directory = tempfile.mkdtemp(prefix="pelorin-results-")
    rng = random.Random(11)
    records = []
    for k in range(30):
        expected, kept_expected = EXPECTED[k % len(EXPECTED)]
        confidence, kept_confidence = CONFIDENCE[k % len(CONFIDENCE)]
        name = "r%02d.txt" % (k + 1)
        data = pelorin_file(directory, name, expected, confidence, varied_answers(rng, k))
        record = Record(name, data)
        record.expected, record.confidence = kept_expected, kept_confidence
        records.append(record)
    FILES = (directory, records)


def tearDownModule():
    shutil.rmtree(FILES[0])


def names():
    return [r.name for r in FILES[1]]


class Csv(unittest.TestCase):
    def test_gives_exactly_the_files_values(self):
        p = run(["csv"] + names(), cwd=FILES[0])
        self.assertEqual((p.returncode, p.stderr), (0, b""))
        self.assertTrue(p.stdout.endswith(b"\r\n"))
        self.assertEqual(p.stdout.count(b"\r\n"), 31, "a header and one row per file")
        rows = list(csv.reader(io.StringIO(p.stdout.decode("latin-1"), newline="")))
        self.assertEqual(rows[0], ["file"] + TYPES + ["top", "answers", "expected_type",
                                                      "confidence"])
        for row, r in zip(rows[1:], FILES[1]):
            with self.subTest(file=r.name):
                self.assertEqual(row[0], r.name)
                self.assertEqual(row[1:17], r.texts)
                self.assertEqual(row[17], "+".join(TYPES[i] for i in r.top))
                self.assertEqual(row[18].encode(), r.answers)
                self.assertEqual(row[19].encode("latin-1"), r.expected)
                self.assertEqual(row[20].encode("latin-1"), r.confidence)
        self.assertIn(b',EIE+LII,', p.stdout, "a tie at the top")
        self.assertIn(b',"ILE, maybe",', p.stdout)
        self.assertIn(b',"I""L""E",', p.stdout)
        self.assertIn(b',"ninety, or so"\r\n', p.stdout)
        self.assertIn(b',\xe9\xe8,', p.stdout, "bytes kept as they are")


class Summary(unittest.TestCase):
    def test_counts_and_means_agree_with_the_files(self):
        p = run(["summary"] + names(), cwd=FILES[0])
        self.assertEqual((p.returncode, p.stderr), (0, b""))
        out = p.stdout.decode("ascii")
        self.assertNotIn("\x1b", out)
        records = FILES[1]
        self.assertTrue(out.startswith("30 results files.\n\nTop type, and in how many files:\n"))
        tops, means = out.split("\nMean score of each type:\n")
        counts = {}
        for r in records:
            for i in r.top:
                counts[TYPES[i]] = counts.get(TYPES[i], 0) + 1
        rows = re.findall(r"^([* ]) (\w{3})  [a-z -]{26}  +(\d+) #*$", tops, re.M)
        self.assertEqual({code: int(n) for _, code, n in rows}, counts)
        self.assertEqual([int(n) for _, _, n in rows], sorted(counts.values(), reverse=True))
        self.assertEqual({code for mark, code, _ in rows if mark == "*"},
                         {c for c, n in counts.items() if n == max(counts.values())})
        ties = sum(1 for r in records if len(r.top) > 1)
        self.assertIn("%d file%s a tie at the top" % (ties, " has" if ties == 1 else "s have"), tops)
        rows = re.findall(r"^([* ]) (\w{3})  [a-z -]{26}  +(\d+\.\d\d) #+$", means, re.M)
        self.assertEqual(len(rows), 16)
        want = {}
        for i in range(16):
            total = sum(r.values[i] for r in records)
            want[TYPES[i]] = (total / len(records)).quantize(Decimal("0.01"), ROUND_HALF_UP)
        self.assertEqual({code: Decimal(v) for _, code, v in rows}, want)
        self.assertEqual([Decimal(v) for _, _, v in rows], sorted(want.values(), reverse=True))
        on_top = sum(1 for r in records if r.named() is not None and r.named() in r.top)
        unknown = sum(1 for r in records if r.named() is None)
        self.assertIn("The expected type was the top type in %d of 30 files. %d files name no "
                      "expected type, or none of the 16." % (on_top, unknown),
                      " ".join(means.split()))


class Show(unittest.TestCase):
    def test_ranks_every_file_with_ties(self):
        p = run(["show"] + names(), cwd=FILES[0])
        self.assertEqual((p.returncode, p.stderr), (0, b""))
        self.assertNotIn(b"\x1b", p.stdout, "redirected: no escape byte")
        self.assertEqual(max(len(line) for line in p.stdout.split(b"\n")), 80)
        sections = p.stdout.decode("latin-1").split("\n\n")
        self.assertEqual(len(sections), 90, "header, chart and expected type per file")
        for k, r in enumerate(FILES[1]):
            header, chart, expected = sections[3 * k: 3 * k + 3]
            with self.subTest(file=r.name):
                self.assertTrue(header.startswith(r.name + ": "))
                rows = re.findall(r"^([* ]) (\w{3})  [a-z -]{26}  +([\d.]+) #+$", chart, re.M)
                self.assertEqual([code for _, code, _ in rows], [TYPES[i] for i in r.order])
                self.assertEqual([v for _, _, v in rows], [r.texts[i] for i in r.order])
                self.assertEqual([code for mark, code, _ in rows if mark == "*"],
                                 [TYPES[i] for i in r.top])
                self.assertEqual(" ".join(expected.split()), self.expected_sentence(r))

    @staticmethod
    def expected_sentence(r):
        if not r.expected.strip():
            return "No expected type was given."
        confidence = r.confidence.decode("latin-1")
        if re.fullmatch(r"[\d.]+", confidence):
            confidence += " %"
        confidence = " (%s)" % confidence if confidence else ""
        i = r.named()
        if i is None:
            shown = re.sub(r"[^\x20-\x7e]", "?", r.expected.decode("latin-1"))
            return 'You expected "%s"%s, which is not one of the 16 types.' % (shown, confidence)
        rank = 1 + sum(1 for v in r.values if v > r.values[i])
        tied = [TYPES[j] for j in range(16) if j != i and r.values[j] == r.values[i]]
        suffix = {1: "st", 2: "nd", 3: "rd"}.get(rank if rank < 20 else rank % 10, "th")
        sentence = "You expected %s%s: it ranks %d%s of 16" % (TYPES[i], confidence, rank, suffix)
        if tied:
            sentence += ", tied with " + " and ".join(tied)  # never more than two here
        return sentence + "."

    def test_golden_charts(self):
        with tempfile.TemporaryDirectory(prefix="pelorin-results-golden-") as d:
            answers = "".join(a + "\n" for a in TIED_AT_THE_TOP).encode()
            pelorin_file(d, "RESULTS.TXT", b"LII", b"80", answers)
            for args, golden in [(["-w", "40"], "results_show_40.out"),
                                 (["--width=120"], "results_show_120.out"),
                                 ([], "results_show_redirected.out")]:
                with self.subTest(golden=golden):
                    p = run(args + ["show"], cwd=d)
                    self.assertEqual((p.returncode, p.stderr), (0, b""))
                    self.assertEqual(p.stdout.decode(), (GOLDEN / golden).read_text())

    def test_standard_input_and_the_default_file(self):
        data = (Path(FILES[0]) / "r01.txt").read_bytes()
        with tempfile.TemporaryDirectory() as d:
            (Path(d) / "RESULTS.TXT").write_bytes(data.replace(b"\r\n", b"\n"))
            default, piped = run(["show"], cwd=d), run(["show", "-"], stdin=data)
        self.assertEqual(piped.stdout.replace(b"-: ", b"RESULTS.TXT: ", 1), default.stdout)


class BadFiles(unittest.TestCase):
    def test_each_bad_file_gets_one_line_and_the_others_are_read(self):
        directory, records = FILES
        good = (Path(directory) / records[0].name).read_bytes()
        bad = {
            "empty.txt": (b"", "1: the file is empty"),
            "other.txt": (b"hello\n", '1: not a Pelorin results file (the first line should '
                                      'be "Test Results from Pelorin 0.1.5")'),
            "truncated.txt": (good[:good.index(b"LSE")], "7: missing: the file ends after line 6"),
            "edited.txt": (good.replace(b"LII : ", b"LII : x"), "11: the score is not a number"),
            "extra.txt": (good + b"\r\n", "20: text after the last line of a results file"),
        }
        with tempfile.TemporaryDirectory() as d:
            for name, (data, _) in bad.items():
                (Path(d) / name).write_bytes(data)
            (Path(d) / "good.txt").write_bytes(good)
            os.mkdir(Path(d) / "folder")
            args = ["good.txt", "missing.txt", "folder"] + list(bad) + ["/dev/zero", "good.txt"]
            want = ["pelorin-results: missing.txt: No such file or directory",
                    "pelorin-results: folder: Is a directory"]
            want += ["pelorin-results: %s:%s" % (name, what) for name, (_, what) in bad.items()]
            want += ["pelorin-results: /dev/zero:1: not a Pelorin results file (the first line "
                     "should be \"Test Results from Pelorin 0.1.5\")"]
            for command, good_output in [("show", b"comes out on top"), ("csv", b"good.txt,"),
                                         ("summary", b"2 results files.")]:
                with self.subTest(command=command):
                    p = run([command] + args, cwd=d)
                    self.assertEqual(p.returncode, 1)
                    self.assertEqual(p.stderr.decode().splitlines(), want)
                    self.assertEqual(p.stdout.count(good_output), 1 if command == "summary" else 2)


class CommandLine(unittest.TestCase):
    TRY = "Try 'pelorin-results --help' for more information."

    def test_usage_errors(self):
        cases = [([], "pelorin-results: missing command"),
                 (["frobnicate"], "pelorin-results: unknown command 'frobnicate'"),
                 (["csv"], "pelorin-results: csv: missing FILE"),
                 (["summary"], "pelorin-results: summary: missing FILE"),
                 (["-w", "19", "show"], "pelorin-results: invalid width '19'"),
                 (["--width=1001", "show"], "pelorin-results: invalid width '1001'"),
                 (["--width=4x", "show"], "pelorin-results: invalid width '4x'"),
                 (["--bogus", "show"], None),
                 (["show", "-x"], None)]
        for args, message in cases:
            with self.subTest(args=args):
                p = run(args)
                self.assertEqual((p.returncode, p.stdout), (2, b""))
                lines = p.stderr.decode().splitlines()
                self.assertEqual(len(lines), 2)
                if message:
                    self.assertEqual(lines[0], message)
                self.assertEqual(lines[1], self.TRY)

    def test_help_and_version(self):
        for args in (["--help"], ["-h"], ["show", "--help", "no-such-file"]):
            p = run(args)
            self.assertEqual((p.returncode, p.stderr), (0, b""))
            self.assertTrue(p.stdout.startswith(
                b"Usage: pelorin-results [OPTION]... COMMAND [FILE]...\n"))
            self.assertLessEqual(max(len(line) for line in p.stdout.split(b"\n")), 79)
        banner = (GOLDEN / "all_yes.out").read_bytes()
        version = re.search(rb"\r\nPelorin (\S+)\r\n", banner).group(1)
        for args in (["--version"], ["-V"]):
            p = run(args)
            self.assertEqual((p.returncode, p.stderr), (0, b""))
            self.assertEqual(p.stdout, b"pelorin-results (Pelorin) " + version + b"\n")


@unittest.skipUnless(shutil.which("tmux"), "needs tmux")
class OnATerminal(unittest.TestCase):
    """On a terminal: block bars, the top in bold, the chart within the window."""

    def draw(self, command, cols, env=None):
        """The lines drawn (wrapped ones joined), and whether each starts in bold."""
        status = os.path.join(FILES[0], "status-%d" % cols)
        # Removed before the terminal starts, so a status left by an earlier
        # draw is never taken for this one's.
        if os.path.exists(status):
            os.remove(status)
        # The shell outlives the program: tmux may drop output still on its
        # way when a pane's process ends.
        shell = "%s %s; echo $? > %s; read _" % (RESULTS, command, status)
        with Terminal(shell, cols=cols, rows=80, cwd=FILES[0], env=env) as term:
            def capture():
                return term.tmux("capture-pane", "-p", "-J", "-e", "-S", "-", "-t", "t").rstrip()

            def ended():  # with its last line, a sentence, on the screen
                return os.path.exists(status) and os.path.getsize(status) > 0 and \
                    capture().endswith(".")
            term.wait(ended, what="pelorin-results to end")
            self.assertEqual(Path(status).read_text().strip(), "0")
            styled = capture()
        lines, bold, state = [], [], False
        for line in styled.split("\n"):
            parts = re.split(r"\x1b\[([0-9;]*)m", line)  # text, codes, text, ...
            starts_bold = None
            for k, part in enumerate(parts):
                if k % 2:
                    codes = set(part.split(";"))
                    state = (state or "1" in codes) and not codes & {"0", "22"}
                elif part and starts_bold is None:
                    starts_bold = state
            lines.append("".join(parts[0::2]).rstrip())
            bold.append(bool(starts_bold))
        return lines, bold

    def check(self, command, cols, chart_rows):
        plain, bold = self.draw(command, cols)
        for line in plain:
            self.assertLessEqual(len(line), cols, "drawn beyond the window: %r" % line)
        bars = [line for line in plain if re.match(r"[* ] \w{3} .*[\u2588-\u258f]", line)]
        self.assertEqual(len(bars), chart_rows, "\n".join(plain))
        self.assertTrue(all(re.search(r"[\u2588-\u258f]$", line) for line in bars))
        if cols >= 80:
            self.assertTrue(all(re.match(r"[* ] \w{3}  [a-z]+-[a-z]+ ", line) for line in bars))
        self.assertEqual([line for line, b in zip(plain, bold) if b],
                         [line for line in bars if line.startswith("* ")], "the top in bold")
        plain_again, bold = self.draw(command, cols, env={"NO_COLOR": "1"})
        self.assertEqual(plain_again, plain)
        self.assertFalse(any(bold), "NO_COLOR: no bold")

    def test_show_at_40_and_120_columns(self):
        for cols in (40, 120):
            with self.subTest(cols=cols):
                self.check("show r01.txt r03.txt", cols, 32)

    def test_summary_at_40_and_120_columns(self):
        tops = len({i for r in FILES[1] for i in r.top})
        for cols in (40, 120):
            with self.subTest(cols=cols):
                self.check("summary " + " ".join(names()), cols, tops + 16)


if __name__ == "__main__":
    unittest.main(verbosity=2)
