"""pelorin-keys in a pseudo-terminal: a key's bytes become the key event and
the key code the editor gets, and Ctrl+D gives the terminal back its mode."""
import os
import pty
import select
import sys
import termios
import time

PROGRAM = os.environ["PELORIN_KEYS_PROGRAM"]


def read_until(fd, text, seconds=20):
    seen = b""
    end = time.monotonic() + seconds
    while text not in seen:
        if time.monotonic() > end:
            sys.exit(f"waited for {text!r}, saw {seen!r}")
        if select.select([fd], [], [], 0.5)[0]:
            seen += os.read(fd, 4096)
    return seen


def main():
    pid, fd = pty.fork()
    if pid == 0:
        os.execv(PROGRAM, [PROGRAM])
    before = termios.tcgetattr(fd)
    read_until(fd, b"Ctrl+D ends.")
    os.write(fd, b"\x1b[A")
    line = read_until(fd, b"key code 48FF")
    assert b"read 1B 5B 41" in line and b"virtual key 26, scan code 48" in line, line
    os.write(fd, b"\x04")
    read_until(fd, b"key code 0004")
    _, status = os.waitpid(pid, 0)
    assert os.WIFEXITED(status) and os.WEXITSTATUS(status) == 0, status
    assert termios.tcgetattr(fd) == before, "the terminal keeps the tool's mode"
    print("ok")


main()
