"""An independent model of a scripted Pelorin run.

Given the bytes of redirected standard input, it computes the exact standard
output, the RESULTS.TXT content (or None when no file is written) and the exit
code, from the rules of the questionnaire: the field reader of redirected
input, the dialogue, single-precision scoring and the report. It shares no
code with the program; only the statements and weights are read from the
bank's source file, so that a wording change needs no second edit.
"""

import math
import re
import struct
from pathlib import Path

TYPE_ORDER = ["ILE", "LIE", "IEE", "EIE", "SLE", "LSE", "SEE", "ESE",
              "ILI", "LII", "IEI", "EII", "SLI", "LSI", "SEI", "ESI"]
CRLF = b"\r\n"
FIELD_LIMIT = 4096
EOF = -1


def f32(x):
    """The single nearest to x (x is a double)."""
    return struct.unpack("<f", struct.pack("<f", x))[0]


def str_single(v):
    """Seven significant digits, no trailing fraction zeros, no point left."""
    if v == 0:
        return "0"
    return "%.7g" % v


def load_bank(source_file):
    text = Path(source_file).read_text(encoding="latin-1")
    body = text[text.index("shipped_bank[] = {"):]
    items = [bytes(m.group(1), "latin-1").decode("unicode_escape").encode("latin-1")
             for m in re.finditer(r'"((?:[^"\\]|\\.)*)"', body)]
    bank = []
    i = 0
    while items[i] != b"END":
        statement = items[i]
        yes = [f32(float(w)) for w in items[i + 1:i + 17]]
        no = [f32(float(w)) for w in items[i + 17:i + 33]]
        bank.append((statement, yes, no))
        i += 33
    return bank


class Ended(Exception):
    def __init__(self, code):
        super().__init__(code)
        self.code = code


class Run:
    def __init__(self, data, bank):
        self.data = data
        self.at = 0
        self.pushed = []
        self.out = bytearray()
        self.writes = []  # the size of each write the program makes
        self.results = None
        self.bank = bank

    # ---- output (a print leaves a byte put back by the reader waiting) ------
    def write(self, b):
        self.out += b
        if b:
            self.writes.append(len(b))

    def line(self, text=b""):
        self.write(text)
        self.write(CRLF)

    # ---- the field reader of redirected input ------------------------------
    def next(self):
        if self.pushed:
            return self.pushed.pop()
        if self.at >= len(self.data):
            return EOF
        c = self.data[self.at]
        self.at += 1
        return c

    def put_back(self, c):
        if c != EOF:
            self.pushed.append(c)

    def skip_blanks(self, c):
        while c in (32, 9):
            c = self.next()
        return c

    def after_cr(self):
        c = self.next()
        if c != 10:
            self.put_back(c)

    def delimiter(self, c):
        c = self.skip_blanks(c)
        if c in (10, 44, EOF):
            return
        if c == 13:
            self.after_cr()
            return
        self.put_back(c)

    def read(self):
        """Returns (field, exhausted)."""
        c = self.skip_blanks(self.next())
        exhausted = c == EOF
        field = bytearray()
        quoted = False
        started = False
        while True:
            if c == EOF:
                self.delimiter(c)
                break
            if c == 10:
                break
            if c == 13:
                self.after_cr()
                break
            if c == 44 and not quoted:
                break
            if c == 34:
                if quoted:
                    self.delimiter(self.next())
                    break
                if not started:
                    quoted = True
                    c = self.next()
                    continue
            started = True
            if len(field) < FIELD_LIMIT:
                field.append(c)
            c = self.next()
        field = bytes(field).split(b"\0", 1)[0]
        return field, exhausted

    # ---- the questionnaire -------------------------------------------------
    def dialogue(self):
        self.line()
        self.line(b"Pelorin 0.1.5")
        self.line()
        self.line(b"This test will help you to determine your socionic type.")
        self.line()
        self.line(b"type 'ok' and press [ENTER] to continue.")
        answer, _ = self.read()
        if answer.upper() != b"OK":
            raise Ended(0)
        self.line(b"If you already know your socionic type, enter it here (3 or 4-letter format) :")
        expected, _ = self.read()
        self.line(b"How are you sure on your socionic type ? (in %)")
        confidence, _ = self.read()
        scores = [f32(0.0)] * 16
        log = [0] * (len(self.bank) + 1)
        q = 1
        while True:
            statement, yes, no = self.bank[q - 1]
            self.line()
            self.write(b"Q%3d: " % q)
            self.line(statement)
            self.line()
            self.line(b"Type 'y' for YES, 'n' for NO, 'p' for previous question.")
            answer, exhausted = self.read()
            if exhausted:
                raise Ended(1)
            a = upper_az(answer)
            if a in (b"Y", b"N"):
                weights = yes if a == b"Y" else no
                scores = [f32(w + s) for w, s in zip(weights, scores)]
                log[q] = 1 if a == b"Y" else 0
                q += 1
            elif a == b"P" and q > 1:
                q -= 1
            if q > len(self.bank):
                break
        self.report(scores, log, expected, confidence)

    def report(self, scores, log, expected, confidence):
        answers = "".join(str_single(log[i]) for i in range(1, len(self.bank) + 1)).encode()
        shown = [f32(math.floor(100.0 * s) / 100.0) for s in scores]
        file = bytearray()
        self.line()
        self.line(b"Test Results :")
        file += b"Test Results from Pelorin 0.1.5" + CRLF
        self.line()
        for code, v in zip(TYPE_ORDER, shown):
            self.write(code.encode() + b" :")
            self.line(b" " + str_single(v).encode())
            file += code.encode() + b" : " + str_single(v).encode()[:9] + CRLF
        self.line()
        file += b"Answers : " + answers + CRLF
        file += b"Expected TIM : " + expected + b" (" + confidence + b")" + CRLF
        self.results = bytes(file)
        self.line(b"The more the type has a large number, the more it's probable for you.")
        self.line(b"Remember : this test is not 100% reliable.")
        self.line(b"type 'ok' and press [ENTER] to continue.")
        while True:
            answer, exhausted = self.read()
            if upper_az(answer) == b"OK" or exhausted:
                raise Ended(0)


def upper_az(b):
    return bytes(c - 32 if 97 <= c <= 122 else c for c in b)


def model(data, bank, writes=False):
    """(stdout bytes, RESULTS.TXT bytes or None, exit code) for input `data`;
    with `writes`, also the sizes of the writes that make up standard output."""
    run = Run(data, bank)
    try:
        run.dialogue()
    except Ended as end:
        return (bytes(run.out), run.results, end.code) + ((run.writes,) if writes else ())
    raise AssertionError("the dialogue always ends the program")
