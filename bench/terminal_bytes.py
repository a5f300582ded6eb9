#!/usr/bin/env python3
"""Bytes and write calls the program sends to a real terminal.

The program runs with standard output on a pseudo-terminal (80x25 unless
--cols/--rows) and the answers fed on a pipe, so the output engine draws
while the keyboard stays out of the picture. Measured per segment:

  introduction     from start until it waits for "ok"
  statement        one full statement screen: the answer "y" to statement 1
                   until it waits again (blank line, number and text, blank
                   line, hint)
  report           the last answer until the final prompt waits

For each: bytes received by the terminal, the printable bytes the segment
contains (its transcript with standard output redirected, line ends
excluded), their ratio, the program's write() calls on the terminal
(counted with strace when available) and the number of engine calls (one
per print: text and line end are separate prints).

Then, with the keyboard on the terminal too, the bytes each editing key
costs, on the first screen (the program starts in the top row of a clear
window, so nothing has scrolled yet) and after scrolling (it starts in the
bottom row, so every row it writes on came in by a line feed).

Usage: terminal_bytes.py --program build/release/pelorin
"""

import argparse
import os
import pty
import re
import select
import shutil
import subprocess
import tempfile
import termios
import struct
import fcntl
import time

SEGMENTS = [
    ("introduction", b""),
    ("prompts+statement 1", b"ok\nILE\n80\n"),
    ("statement", b"y\n"),
    ("report", b"y\n" * 53),
]


def engine_calls(text):
    """Each line is printed as its text (if any) and then the line end."""
    calls = 0
    for line in text.split(b"\r\n")[:-1]:
        calls += 2 if line else 1
    tail = text.split(b"\r\n")[-1]
    return calls + (1 if tail else 0)


def read_until_quiet(fd, quiet_s=0.3, answer_cpr=True):
    out = bytearray()
    while True:
        r, _, _ = select.select([fd], [], [], quiet_s)
        if not r:
            return bytes(out)
        try:
            chunk = os.read(fd, 65536)
        except OSError:
            return bytes(out)
        if not chunk:
            return bytes(out)
        out += chunk
        if answer_cpr and b"\x1b[6n" in chunk:
            os.write(fd, b"\x1b[1;1R")


def count_writes(strace_log, fd_path_hint=None):
    """write() calls on fd 1 per segment marker (reads from fd 0 split them)."""
    segments, current = [], 0
    with open(strace_log) as f:
        for line in f:
            if re.search(r"\bread\(0,", line) and current:
                segments.append(current)
                current = 0
            elif re.search(r"\bwrite\(1,", line):
                current += 1
    segments.append(current)
    return segments


LEFT, RIGHT, HOME, DELETE, BACKSPACE, ESC = b"\x1b[D", b"\x1b[C", b"\x1b[H", b"\x1b[3~", b"\x7f", b"\x1b"



def distinct(n):
    """n letters in which no stretch repeats, so that no edit looks like a shift."""
    letters = "abcdefghijklmnopqrstuvwxyz"
    pairs = (letters[i % 26] + letters[(i // 26) % 26] for i in range((n + 1) // 2))
    return "".join(pairs)[:n].encode()


# (row label, keys typed before it unmeasured, the measured key)
KEYS = [
    ("insert a letter", distinct(40) + LEFT * 30, b"X"),
    ("Backspace", b"", BACKSPACE),
    ("Delete", b"a", DELETE),
    ("Right", b"", RIGHT),
    ("Esc on a 4-row answer", b"\x1b[F" + distinct(270), ESC),
    ("Delete, 150 after", distinct(170) + HOME + RIGHT * 20, DELETE),
]


def key_costs(program, cols, rows, start_row):
    """Bytes per key at the type prompt, the program started with its
    cursor in `start_row` (1-based)."""
    pid, fd = pty.fork()
    if pid == 0:
        work = tempfile.mkdtemp(prefix="pelorin-tkeys-")
        os.chdir(work)
        os.environ.update(TERM="xterm", LANG="C.UTF-8")
        os.execv(program, [program])
    fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack("HHHH", rows, cols, 0, 0))
    cpr = b"\x1b[%d;1R" % start_row

    def settle():
        out = bytearray()
        while True:
            r, _, _ = select.select([fd], [], [], 0.3)
            if not r:
                return bytes(out)
            chunk = os.read(fd, 65536)
            out += chunk
            if b"\x1b[6n" in chunk:
                os.write(fd, cpr)

    settle()
    os.write(fd, b"ok\r")
    settle()
    costs = []
    for name, before, key in KEYS:
        os.write(fd, before)
        settle()
        os.write(fd, key)
        costs.append((name, len(settle())))
    os.kill(pid, 9)
    os.waitpid(pid, 0)
    os.close(fd)
    return costs


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--program", default="build/release/pelorin")
    ap.add_argument("--cols", type=int, default=80)
    ap.add_argument("--rows", type=int, default=25)
    args = ap.parse_args()
    program = os.path.abspath(args.program)
    strace = shutil.which("strace")

    master, slave = pty.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", args.rows, args.cols, 0, 0))
    rd, wr = os.pipe()
    work = tempfile.mkdtemp(prefix="pelorin-tbytes-")
    log = os.path.join(work, "strace.log")
    cmd = [program]
    if strace:
        cmd = [strace, "-f", "-qq", "-e", "trace=read,write", "-o", log] + cmd
    env = dict(os.environ, TERM="xterm", LANG="C.UTF-8")
    proc = subprocess.Popen(cmd, stdin=rd, stdout=slave, stderr=subprocess.DEVNULL, cwd=work,
                            env=env, start_new_session=True)
    os.close(slave)
    os.close(rd)
    # A second run with standard output on a pipe gives each segment's
    # transcript: what the program prints before it waits again.
    plain = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.PIPE, cwd=work)
    rows = []
    for name, data in SEGMENTS:
        os.write(wr, data)
        plain.stdin.write(data)
        plain.stdin.flush()
        got = read_until_quiet(master)
        text = read_until_quiet(plain.stdout.fileno(), answer_cpr=False)
        printable = len(text.replace(b"\r", b"").replace(b"\n", b""))
        rows.append((name, len(got), printable, engine_calls(text)))
    os.write(wr, b"ok\n")
    os.close(wr)
    plain.communicate(b"ok\n", timeout=10)
    read_until_quiet(master)
    proc.wait(timeout=10)
    os.close(master)
    writes = count_writes(log) if strace else None

    print("terminal %dx%d, TERM=xterm, UTF-8" % (args.cols, args.rows))
    print("%-22s %8s %10s %7s %13s %12s" % ("segment", "bytes", "printable", "ratio",
                                           "engine calls", "write calls"))
    for i, (name, sent, printable, calls) in enumerate(rows):
        w = writes[i] if writes and i < len(writes) else "n/a"
        print("%-22s %8d %10d %7.2f %13d %12s" % (name, sent, printable,
                                                  sent / max(printable, 1), calls, w))
    shutil.rmtree(work, ignore_errors=True)

    first = key_costs(program, args.cols, args.rows, 1)
    scrolled = key_costs(program, args.cols, args.rows, args.rows)
    print()
    print("bytes per key at the type prompt, 30 characters right of the cursor")
    print("%-24s %13s %16s" % ("key", "first screen", "after scrolling"))
    for (name, a), (_, b) in zip(first, scrolled):
        print("%-24s %13d %16d" % (name, a, b))


if __name__ == "__main__":
    main()
