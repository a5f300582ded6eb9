#!/usr/bin/env python3
"""pelorin-results over results files that the real pelorin wrote.

Thirty files come from scripted runs of pelorin with varied answers and
varied expected types and confidences (codes, four-letter forms, nothing,
commas, quotes, parentheses, high bytes, an escape byte, texts a spreadsheet
would change), ties at the top included. The expectations are worked out
here from the files' own lines, with exact decimals: csv must give the
files' values, table each person's line in each order, summary the counts,
means and statements, show the ranking, html a page that a real browser
(headless Chromium) draws with bars as long as the scores. Folders, lists,
files reached twice, what is no file, bad files, the command line, golden
charts, a real terminal (tmux) at 40 and 120 columns and failing
allocations are checked too.

Environment: PELORIN_PROGRAM, PELORIN_RESULTS_PROGRAM, PELORIN_BANK (the
question bank's source), PELORIN_ALLOC_SHIM (the allocation-failure shim),
PELORIN_CHROMIUM (else chromium on the PATH).
Run one group with: results_test.py Csv
"""

import csv
import io
import itertools
import json
import os
import random
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import unittest
from decimal import ROUND_HALF_UP, Decimal
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from dialogue_model import load_bank  # noqa: E402
from headless_browser import CHROMIUM, Browser  # noqa: E402
from tmux_harness import Terminal  # noqa: E402

HERE = Path(__file__).resolve().parent
PELORIN = os.path.abspath(os.environ.get("PELORIN_PROGRAM", "build/release/pelorin"))
RESULTS = os.path.abspath(os.environ.get("PELORIN_RESULTS_PROGRAM",
                                         "build/release/pelorin-results"))
GOLDEN = HERE / "golden"
STATEMENTS = [b" ".join(s.split()).decode() for s, _, _ in
              load_bank(os.environ.get("PELORIN_BANK", HERE.parent / "typetest/question_bank.cpp"))]
SHIM = os.environ.get("PELORIN_ALLOC_SHIM")
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
            (b"\x1b[31mSEI", b"\x1b[31mSEI"), (b"esi", b"esi"), (b"=1+1", b"=1+1")]
CONFIDENCE = [(b"80", b"80"), (b"100 %", b"100 %"), (b"", b""),
              (b'"ninety, or so"', b"ninety, or so"), (b"55.5", b"55.5"), (b"007", b"007")]


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
        self.path, self.name = name, name.rsplit(".", 1)[0]
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

    def rank(self):
        i = self.named()
        return None if i is None else 1 + sum(1 for v in self.values if v > self.values[i])

    def confidence_number(self):
        number = re.match(rb"(\d+(?:\.\d*)?)", self.confidence.strip(b" \t"))
        return Decimal(number.group(1).decode().rstrip(".")) if number else None

    def name_key(self):
        return (self.name.lower(), self.name, self.path)


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
    return [r.path for r in FILES[1]]


def chosen(args):
    """The records that the filters among `args` keep, in their order."""
    records = FILES[1]
    for arg in args:
        if arg.startswith("--top="):
            records = [r for r in records if TYPES.index(arg[6:]) in r.top]
        if arg.startswith("--expected="):
            records = [r for r in records if r.named() == TYPES.index(arg[11:])]
    return records


def spreadsheet_text(field):
    """The text a spreadsheet shows for a field: ="a"&"b" is ab."""
    if not field.startswith("="):
        return field
    pieces = re.fullmatch(r'=("(?:[^"]|"")*")(?:&("(?:[^"]|"")*"))*', field)
    assert pieces, field
    return "".join(p[1:-1].replace('""', '"') for p in re.findall(r'"(?:[^"]|"")*"', field))


class Csv(unittest.TestCase):
    HEADER = (["name", "file"] + TYPES + ["top", "expected", "expected_rank", "match",
                                          "confidence", "expected_text"] +
              ["q%d" % q for q in range(1, 55)])

    def test_rows_give_every_value_of_the_files(self):
        for args in (["csv"], ["csv", "--top=LII"], ["csv", "--expected=ILE", "--top=LSE"]):
            with self.subTest(args=args):
                p = run(args + names(), cwd=FILES[0])
                self.assertEqual((p.returncode, p.stderr), (0, b""))
                want = chosen(args)
                self.assertTrue(p.stdout.endswith(b"\r\n"))
                self.assertEqual(p.stdout.count(b"\r\n"), 1 + len(want), "a header, a row per file")
                rows = list(csv.reader(io.StringIO(p.stdout.decode("latin-1"), newline="")))
                self.assertEqual(rows[0], self.HEADER)
                for row, r in zip(rows[1:], want):
                    self.check_row(row, r)
        p = run(["csv"] + names(), cwd=FILES[0])
        self.assertIn(b',"=""007""",', p.stdout, "a leading zero kept")
        self.assertIn(b',"=""=1+1"""', p.stdout, "no formula run")
        self.assertIn(b',"ILE, maybe",', p.stdout, "RFC 4180 quotes")
        self.assertIn(b',\xe9\xe8,', p.stdout, "bytes kept as they are")

    def check_row(self, row, r):
        with self.subTest(file=r.path):
            self.assertEqual(row[:2], [r.name, r.path])
            self.assertEqual(row[2:18], r.texts)
            self.assertEqual(row[18], "+".join(TYPES[i] for i in r.top))
            i, rank = r.named(), r.rank()
            self.assertEqual(row[19:22], ["", "", ""] if i is None else
                             [TYPES[i], str(rank), "1" if rank == 1 else "0"])
            self.assertEqual(spreadsheet_text(row[22]).encode("latin-1"), r.confidence)
            self.assertEqual(spreadsheet_text(row[23]).encode("latin-1"), r.expected)
            self.assertEqual("".join(row[24:]).encode(), r.answers)


class Table(unittest.TestCase):
    COLUMNS = ["name", "top", "score", "expected", "rank", "match", "confidence"]
    ORDERS = {
        None: None,
        "name": Record.name_key,
        "top": lambda r: (r.top[0], -r.values[r.top[0]], r.name_key()),
        "rank": lambda r: (r.rank() or 17, r.name_key()),
        "confidence": lambda r: (r.confidence_number() is None, -(r.confidence_number() or 0),
                                 r.name_key()),
    }

    def test_a_line_per_person_in_each_order(self):
        for sort, filters, width in [(None, [], 80), ("name", [], 80), ("top", [], 120),
                                     ("rank", ["--expected=LII"], 80), ("confidence", [], 80),
                                     (None, ["--top=EIE"], 40)]:
            args = ["table", "-w", str(width)] + filters + (["--sort=" + sort] if sort else [])
            with self.subTest(args=args):
                p = run(args + names(), cwd=FILES[0])
                self.assertEqual((p.returncode, p.stderr), (0, b""))
                lines = p.stdout.decode("latin-1").splitlines()
                self.assertTrue(all(len(line) <= width for line in lines))
                want = chosen(filters)
                if sort:
                    want = sorted(want, key=self.ORDERS[sort])
                self.assertEqual(lines[0].split()[:4], self.COLUMNS[:4])
                self.assertEqual(len(lines), 1 + len(want))
                for line, r in zip(lines[1:], want):
                    self.check_line(re.split(r"  +", line.strip()), r, width)

    def check_line(self, cells, r, width):
        i, rank = r.named(), r.rank()
        shown = re.sub(r"[^\x20-\x7e]", "?", r.confidence.strip().decode("latin-1")) or "-"
        want = [r.name, "+".join(TYPES[t] for t in r.top), r.texts[r.top[0]],
                "-" if i is None else TYPES[i], "-" if i is None else str(rank),
                "-" if i is None else ("yes" if rank == 1 else "no"), shown]
        # Narrow, the last columns are left out.
        self.assertEqual(cells, want if width >= 80 else want[:5])


class Summary(unittest.TestCase):
    def test_counts_means_and_statements_agree_with_the_files(self):
        for args in (["summary"], ["summary", "--items"], ["summary", "--top=LII"]):
            with self.subTest(args=args):
                p = run(args + names(), cwd=FILES[0])
                self.assertEqual((p.returncode, p.stderr), (0, b""))
                self.check(p.stdout.decode("ascii"), chosen(args), "--items" in args,
                           "of 30 read" if "--top=LII" in args else "")

    def check(self, out, records, every_statement, read):
        self.assertNotIn("\x1b", out)
        n = len(records)
        self.assertEqual(" ".join(out[:out.index("\n\n")].split()),
                         "%d results files%s." % (n, " with LII on top, " + read if read else ""))
        tops, rest = out.split("\nMean score of each type:\n")
        means, statements = rest.split("\n\nThe statements")
        counts = {code: 0 for code in TYPES}
        for r in records:
            for i in r.top:
                counts[TYPES[i]] += 1
        rows = re.findall(r"^([* ]) (\w{3})  [a-z -]{26}  +(\d+) ?#*$", tops, re.M)
        self.assertEqual({code: int(n) for _, code, n in rows}, counts, "all 16, zeros too")
        self.assertEqual([int(n) for _, _, n in rows], sorted(counts.values(), reverse=True))
        self.assertEqual({code for mark, code, _ in rows if mark == "*"},
                         {c for c, k in counts.items() if k == max(counts.values())})
        ties = sum(1 for r in records if len(r.top) > 1)
        if ties:
            self.assertIn("%d file%s a tie at the top" % (ties, " has" if ties == 1 else "s have"),
                          tops)
        rows = re.findall(r"^([* ]) (\w{3})  [a-z -]{26}  +(\d+\.\d\d) #+$", means, re.M)
        want = {}
        for i in range(16):
            total = sum(r.values[i] for r in records)
            want[TYPES[i]] = (total / n).quantize(Decimal("0.01"), ROUND_HALF_UP)
        self.assertEqual({code: Decimal(v) for _, code, v in rows}, want)
        self.assertEqual([Decimal(v) for _, _, v in rows], sorted(want.values(), reverse=True))
        on_top = sum(1 for r in records if r.named() is not None and r.named() in r.top)
        self.assertIn("The expected type was the top type in %d of %d files." % (on_top, n),
                      " ".join(means.split()))
        self.check_statements(statements, records, every_statement)
        unnamed = [r.name for r in records if r.named() is None]
        if unnamed:
            listed = statements.split("\nNo expected type, or none of the 16 types, in ")[1]
            self.assertEqual(listed.split(), ["%d" % len(unnamed), "files:"] + unnamed)

    def check_statements(self, text, records, every_statement):
        lines = re.findall(r"^ +(\d+) %  +(\d+)  (.*(?:\n {13}\S.*)*)", text, re.M)
        yes = [sum(1 for r in records if r.answers[k:k + 1] == b"1") for k in range(54)]
        shares = [(Decimal(100 * y) / len(records)).quantize(0, ROUND_HALF_UP) for y in yes]
        most = sorted(range(54), key=lambda k: (-yes[k], k))
        least = sorted(range(54), key=lambda k: (yes[k], k))
        want = most if every_statement else most[:5] + least[:5]
        self.assertEqual([int(number) - 1 for _, number, _ in lines], want)
        for share, number, statement in lines:
            self.assertEqual(Decimal(share), shares[int(number) - 1])
            self.assertEqual(" ".join(statement.split()), STATEMENTS[int(number) - 1])


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
                self.assertTrue(header.startswith("%s (%s): " % (r.name, r.path)))
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
        with tempfile.TemporaryDirectory(prefix="pelorin-results-golden-") as top:
            d = os.path.join(top, "anna")  # the name of a bare RESULTS.TXT
            os.mkdir(d)
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
        with tempfile.TemporaryDirectory() as top:
            d = os.path.join(top, "ben")
            os.mkdir(d)
            (Path(d) / "RESULTS.TXT").write_bytes(data.replace(b"\r\n", b"\n"))
            default, piped = run(["show"], cwd=d), run(["show", "-"], stdin=data)
        self.assertEqual(piped.stdout.replace(b"-: ", b"ben (RESULTS.TXT): ", 1), default.stdout)


class BadFiles(unittest.TestCase):
    def test_each_bad_file_gets_one_line_and_the_others_are_read(self):
        directory, records = FILES
        good = (Path(directory) / records[0].path).read_bytes()
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
                    "pelorin-results: folder: no RESULTS.TXT in this folder or the folders in it"]
            want += ["pelorin-results: %s:%s" % (name, what) for name, (_, what) in bad.items()]
            want += ["pelorin-results: /dev/zero: not a regular file (a device)",
                     "pelorin-results: note: a file was reached twice and counts once: good.txt"]
            for command, good_output in [("show", b"comes out on top"), ("csv", b"good.txt,"),
                                         ("table", b"good "), ("summary", b"1 results file."),
                                         ("html", b"<h2>good</h2>")]:
                with self.subTest(command=command):
                    p = run([command] + args, cwd=d)
                    self.assertEqual(p.returncode, 1)
                    self.assertEqual(p.stderr.decode().splitlines(), want)
                    self.assertEqual(p.stdout.count(good_output), 1)


class Inputs(unittest.TestCase):
    """Folders, lists, files reached twice and what is no file, as csv names them."""

    def layout(self, d):
        data = [(Path(FILES[0]) / r.path).read_bytes() for r in FILES[1][:6]]
        for k, where in enumerate(["class/anna/RESULTS.TXT", "class/ben/results.txt",
                                   "class/Cleo/Results.Txt", "class/year2/dan/RESULTS.TXT",
                                   "elsewhere/eve/RESULTS.TXT", "loose.txt"]):
            os.makedirs(Path(d, where).parent, exist_ok=True)
            Path(d, where).write_bytes(data[k])
        Path(d, "class/anna/notes.txt").write_bytes(data[0])  # not a RESULTS.TXT
        os.symlink("../elsewhere", Path(d, "class/link"))  # a link to a folder: not followed
        os.link(Path(d, "class/ben/results.txt"), Path(d, "ben-again.txt"))
        os.makedirs(Path(d, "empty/sub"))
        os.mkfifo(Path(d, "fifo"))
        os.makedirs(Path(d, "piped/fay"))
        os.mkfifo(Path(d, "piped/fay/RESULTS.TXT"))
        listener = socket.socket(socket.AF_UNIX)
        listener.bind(os.path.join(d, "sock"))
        Path(d, "list.txt").write_bytes(b"class/anna\r\n\nloose.txt\nelsewhere")
        Path(d, "not-a-list").write_bytes(b"loose.txt\n" + b"x" * 70000 + b"\nclass\n")
        return listener

    def test_folders_lists_repeats_and_what_is_no_file(self):
        note = "pelorin-results: note: "
        cases = [
            (["class"], b"", ["Cleo", "anna", "ben", "dan"], [], 0),
            (["class/anna", "class", "class/anna/RESULTS.TXT", "ben-again.txt"], b"",
             ["Cleo", "anna", "ben", "dan"],
             [note + "3 files were reached again and count once; the first: "
              "class/anna/RESULTS.TXT"], 0),
            (["--files-from=list.txt", "class/anna/RESULTS.TXT"], b"",
             ["anna", "eve", "loose"], [note + "a file was reached twice and counts once: "
                                        "class/anna/RESULTS.TXT"], 0),
            (["--files-from=-", "-0"], b"class/ben\0elsewhere/eve/RESULTS.TXT\0", ["ben", "eve"],
             [], 0),
            (["fifo", "sock", "/dev/null", "piped", "empty", "loose.txt"], b"", ["loose"],
             ["pelorin-results: fifo: not a regular file (a FIFO)",
              "pelorin-results: sock: not a regular file (a socket)",
              "pelorin-results: /dev/null: not a regular file (a device)",
              "pelorin-results: piped/fay/RESULTS.TXT: not a regular file (a FIFO)",
              "pelorin-results: empty: no RESULTS.TXT in this folder or the folders in it"], 1),
            (["--files-from=not-a-list"], b"", ["loose"],
             ["pelorin-results: not-a-list:2: longer than any path; the rest is not read"], 1),
        ]
        with tempfile.TemporaryDirectory() as d:
            listener = self.layout(d)
            for args, stdin, people, messages, code in cases:
                with self.subTest(args=args):
                    # A FIFO opened for reading would wait here for a writer.
                    p = run(["csv"] + args, stdin=stdin, cwd=d)
                    self.assertEqual(p.stderr.decode().splitlines(), messages)
                    self.assertEqual(p.returncode, code)
                    rows = list(csv.reader(io.StringIO(p.stdout.decode(), newline="")))
                    self.assertEqual(sorted(row[0] for row in rows[1:]), people)
                    self.assertTrue(all(Path(d, row[1]).is_file() for row in rows[1:]))
            listener.close()


@unittest.skipUnless(CHROMIUM, "needs Chromium")
class Html(unittest.TestCase):
    """The page in a real browser: it renders, its bars are as long as the
    numbers, nothing is fetched, it fits any width and prints a person a page."""

    PAGE = """JSON.stringify({
      width: document.documentElement.scrollWidth, window: innerWidth,
      title: document.querySelector('h1').textContent,
      charts: [...document.querySelectorAll('svg')].map(svg => ({
        height: svg.getBoundingClientRect().height,
        section: svg.closest('section') ? svg.closest('section').className : '',
        heading: svg.closest('section') ? svg.closest('section').querySelector('h2').textContent : '',
        bars: [...svg.querySelectorAll('g')].map(g => [g.querySelectorAll('text')[0].textContent,
          g.querySelectorAll('text')[1].textContent, g.querySelector('rect').getBoundingClientRect().width])
      })),
      tables: document.querySelectorAll('table').length})"""

    def test_pages_render_with_bars_as_long_as_the_numbers(self):
        directory, records = FILES
        cases = [(["html"] + names(), records), (["html", "r03.txt"], records[2:3]),
                 (["html", "--sort=name", "--top=LII"] + names(),
                  sorted(chosen(["--top=LII"]), key=Record.name_key))]
        with Browser() as browser, tempfile.TemporaryDirectory() as d:
            for args, people in cases:
                with self.subTest(args=args[:3]):
                    p = run(args, cwd=directory)
                    self.assertEqual((p.returncode, p.stderr), (0, b""))
                    page = os.path.join(d, "page.html")
                    Path(page).write_bytes(p.stdout)
                    self.assertNotRegex(p.stdout, rb"(?i)<script|https?:|src=|url\(")
                    for width in (320, 1920):
                        browser.open(page, width)
                        shown = json.loads(browser.evaluate(self.PAGE))
                        self.assertEqual(browser.requests(), ["file://" + page])
                        self.assertLessEqual(shown["width"], shown["window"], "no sideways scroll")
                        self.check_charts(shown, people)
                    self.assertGreaterEqual(browser.pdf_pages(), len(people) + (len(people) > 1))

    def check_charts(self, shown, people):
        self.assertEqual(len(shown["charts"]), len(people) + (3 if len(people) > 1 else 0))
        self.assertEqual(shown["tables"], len(shown["charts"]), "each chart's numbers in a table")
        self.assertTrue(all(chart["height"] > 100 for chart in shown["charts"]))
        charts = [c for c in shown["charts"] if c["section"] == "person"]
        self.assertEqual(len(charts), len(people))
        for chart, r in zip(charts, people):
            self.assertEqual(chart["heading"], r.name)
            self.assertEqual([(code, value) for code, value, _ in chart["bars"]],
                             [(TYPES[i], r.texts[i]) for i in r.order])
            self.check_lengths(chart["bars"], [float(r.texts[i]) for i in r.order])
        if len(people) > 1:
            counts = {code: sum(1 for r in people if TYPES.index(code) in r.top) for code in TYPES}
            tops = shown["charts"][0]["bars"]
            self.assertEqual({code: int(value) for code, value, _ in tops}, counts)
            self.check_lengths(tops, [counts[code] for code, _, _ in tops])

    def check_lengths(self, bars, numbers):
        longest = max(width for _, _, width in bars)
        for (code, _, width), number in zip(bars, numbers):
            self.assertAlmostEqual(width / longest, number / max(numbers), delta=0.01, msg=code)


@unittest.skipUnless(SHIM, "needs the allocation-failure shim (no sanitizer build)")
class OutOfMemory(unittest.TestCase):
    def test_every_failing_allocation_ends_with_a_message_and_code_3(self):
        paths = names()[:3]
        for command in ("summary", "html", "table"):
            for n in itertools.count():
                env = {**os.environ, "LD_PRELOAD": SHIM, "PELORIN_FAIL_ALLOCATIONS_AFTER": str(n)}
                p = run([command, "--width=80"] + paths, cwd=FILES[0], env=env)
                self.assertIn((p.returncode, p.stderr),
                              [(0, b""), (3, b"pelorin-results: out of memory\n")], (command, n))
                if p.returncode == 0:
                    break
            self.assertGreater(n, 20)


class CommandLine(unittest.TestCase):
    TRY = "Try 'pelorin-results --help' for more information."

    def test_usage_errors(self):
        cases = [([], "pelorin-results: missing command"),
                 (["frobnicate"], "pelorin-results: unknown command 'frobnicate'"),
                 (["csv"], "pelorin-results: csv: missing FILE"),
                 (["summary"], "pelorin-results: summary: missing FILE"),
                 (["html"], "pelorin-results: html: missing FILE"),
                 (["--top=XYZ", "show"], "pelorin-results: invalid type 'XYZ'"),
                 (["table", "--expected=", "x"], "pelorin-results: invalid type ''"),
                 (["--sort=size", "table", "x"], "pelorin-results: invalid sort key 'size'"),
                 (["--sort=name", "csv", "x"], "pelorin-results: --sort is for table and html"),
                 (["--items", "table", "x"], "pelorin-results: --items is for summary"),
                 (["-0", "csv", "x"], "pelorin-results: -0 needs --files-from"),
                 (["--files-from=-", "csv", "-"],
                  "pelorin-results: standard input (-) can be read only once"),
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
    """On a terminal: block bars, the top in bold, the chart within the window,
    no byte of a file's acting on the terminal."""

    END = "[drawn]"

    def draw(self, command, cols, env=None):
        """The lines drawn (wrapped ones joined), and whether each starts in bold."""
        status = os.path.join(FILES[0], "status-%d" % cols)
        # Removed before the terminal starts, so a status left by an earlier
        # draw is never taken for this one's.
        if os.path.exists(status):
            os.remove(status)
        # The shell outlives the program: tmux may drop output still on its
        # way when a pane's process ends.
        shell = "%s %s; echo $? > %s; echo %s; read _" % (RESULTS, command, status, self.END)
        with Terminal(shell, cols=cols, rows=80, cwd=FILES[0], env=env) as term:
            def capture():
                return term.tmux("capture-pane", "-p", "-J", "-e", "-S", "-", "-t", "t").rstrip()

            def ended():  # with the line after its last one on the screen
                return os.path.exists(status) and os.path.getsize(status) > 0 and \
                    capture().endswith(self.END)
            term.wait(ended, what="pelorin-results to end")
            self.assertEqual(Path(status).read_text().strip(), "0")
            styled = capture()[:-len(self.END)].rstrip()
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

    def test_csv_and_table_within_the_window_and_no_byte_acting(self):
        plain, bold = self.draw("csv r10.txt", 120)
        self.assertIn(",?[31mSEI,", "".join(plain), "the escape byte shown as ?")
        self.assertFalse(any(bold))
        plain, _ = self.draw("table " + " ".join(names()), 40)
        self.assertEqual(len(plain), 31)
        self.assertTrue(all(len(line) <= 40 for line in plain))

    def test_summary_at_40_and_120_columns(self):
        tops = len({i for r in FILES[1] for i in r.top})
        for cols in (40, 120):
            with self.subTest(cols=cols):
                self.check("summary " + " ".join(names()), cols, tops + 16)


if __name__ == "__main__":
    unittest.main(verbosity=2)
