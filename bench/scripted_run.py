#!/usr/bin/env python3
"""Times whole scripted runs of the program, each beside `cat` of its own output.

A complete questionnaire (consent, self-assessment, 54 answers with a few
detours, the final ok) is fed on standard input and standard output goes to
a file; beside it, run by turns in the same session, `cat` copies the
transcript that run produced to a file. A flood of rejected answers (every
statement shown again for each) is measured the same way beside `cat` of its
own transcript, with the write calls on standard output (strace, when there
is one). Prints medians and ratios, and the program's resident set (ps)
while it waits at the final prompt, after the report has been written. Each
figure is given as time and as CPU time (the process's user and system time):
on a busy machine the time mostly measures the wait for a processor.

The runs work in a directory in memory (/dev/shm, where there is one): the
program hands RESULTS.TXT to the disk before it takes the name, which on a
disk costs what the disk's flush costs. One more row shows the scripted run
with the results file on disk (beside the program), so that cost is seen
apart.

--baseline measures another build (say, main's) the same way, run for run
beside this one. --windows-program measures the Windows build under Wine
against the Linux build (--windows-baseline: another Windows build).

Usage: scripted_run.py --program build/release/pelorin [--baseline OTHER]
           [--windows-program build/mingw/pelorin.exe [--windows-baseline OTHER.exe]]
           [--runs 30] [--flood-bytes 1000000] [--flood-runs 5]
"""

import argparse
import os
import re
import shutil
import statistics
import subprocess
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def script():
    answers = []
    for q in range(1, 55):
        answers += ["n", "p", "y"] if q % 9 == 0 and q < 54 else ["y" if q % 2 else "n"]
    return ("ok\nILE\n80\n" + "\n".join(answers) + "\nok\n").encode()


def flood(size):
    """`size` bytes of answers the first statement rejects, then the end."""
    return b"ok\nILE\n80\n" + b"maybe\n" * (size // 6)


def rss_kb(pid):
    shown = subprocess.run(["ps", "-o", "rss=", "-p", str(pid)], capture_output=True, text=True)
    return int(shown.stdout.strip() or 0)


def resident_at_final_prompt(program, cwd):
    """The program's resident set while it waits for the final ok."""
    data = script()
    body, last = data[:data.rindex(b"ok\n")], b"ok\n"
    p = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, cwd=cwd)
    p.stdin.write(body)
    p.stdin.flush()
    deadline = time.monotonic() + 5
    while not os.path.exists(os.path.join(cwd, "RESULTS.TXT")) and time.monotonic() < deadline:
        time.sleep(0.005)
    time.sleep(0.05)
    kb = rss_kb(p.pid)
    p.stdin.write(last)
    p.stdin.close()
    p.wait(timeout=5)
    os.remove(os.path.join(cwd, "RESULTS.TXT"))
    return kb


def spawn_timed(argv, stdin_path, stdout_path, cwd):
    fin = os.open(stdin_path, os.O_RDONLY)
    fout = os.open(stdout_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    old = os.getcwd()
    os.chdir(cwd)
    try:
        start = time.perf_counter()
        pid = os.posix_spawn(argv[0], argv, os.environ,
                             file_actions=[(os.POSIX_SPAWN_DUP2, fin, 0),
                                           (os.POSIX_SPAWN_DUP2, fout, 1),
                                           (os.POSIX_SPAWN_OPEN, 2, os.devnull, os.O_WRONLY, 0)])
        _, status, usage = os.wait4(pid, 0)
        elapsed = time.perf_counter() - start
    finally:
        os.chdir(old)
        os.close(fin)
        os.close(fout)
    if os.waitstatus_to_exitcode(status) not in (0, 1):  # a flood ends with input: 1
        raise SystemExit("%s ended with status %d" % (argv[0], status))
    return elapsed, usage.ru_utime + usage.ru_stime


def medians(runs, cwd, commands):
    """The median time and CPU time of each command, {name: (argv, stdin,
    stdout)}, run by turns so that they share the machine's moods alike."""
    times = {name: [] for name in commands}
    for _ in range(runs):
        for name, (argv, stdin_path, stdout_path) in commands.items():
            times[name].append(spawn_timed(argv, stdin_path, stdout_path, cwd))
    return {name: tuple(statistics.median(m) for m in zip(*t)) for name, t in times.items()}


def table(title, extra, rows):
    """Rows of (name, (time, CPU time), extra), the first one cat's."""
    cat = rows[0][1]
    print(title)
    print("%-28s %10s %7s %10s %7s %14s" % ("", "median ms", "x cat", "CPU ms", "x cat", extra))
    for name, (wall, cpu), more in rows:
        print("%-28s %10.3f %7.2f %10.3f %7.2f %14s" %
              (name, wall * 1000, wall / cat[0], cpu * 1000, cpu / cat[1], more))


def memory_directory():
    """A directory in memory to work in, or None (the system's default)."""
    return "/dev/shm" if os.path.isdir("/dev/shm") and os.access("/dev/shm", os.W_OK) else None


def write_calls(argv, stdin_path, cwd):
    """How many write calls the program makes on standard output (a file)."""
    strace = shutil.which("strace")
    if strace is None:
        return None
    log = os.path.join(cwd, "writes.log")
    out = os.path.join(cwd, "out.txt")
    spawn_timed([strace, "-f", "-qq", "-e", "trace=write", "-e", "signal=none", "-o", log] + argv,
                stdin_path, out, cwd)
    with open(log) as f:
        calls = len(re.findall(r"write\(1, ", f.read()))
    os.remove(log)
    return calls


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--program", default="build/release/pelorin")
    ap.add_argument("--baseline", help="another build, measured beside the program")
    ap.add_argument("--windows-program", help="the Windows build, run under Wine")
    ap.add_argument("--windows-baseline", help="another Windows build, beside it")
    ap.add_argument("--wine", default=os.path.join(ROOT, "tools/wine-run.sh"))
    ap.add_argument("--runs", type=int, default=30)
    ap.add_argument("--flood-bytes", type=int, default=1000000)
    ap.add_argument("--flood-runs", type=int, default=5)
    args = ap.parse_args()
    programs = {"pelorin": [os.path.abspath(args.program)]}
    if args.baseline:
        programs["baseline"] = [os.path.abspath(args.baseline)]
    wine = {}
    if args.windows_program:
        wine["wine"] = [args.wine, os.path.abspath(args.windows_program)]
    if args.windows_baseline:
        wine["wine_baseline"] = [args.wine, os.path.abspath(args.windows_baseline)]
    if wine:  # a Wine server started here, not by a measured run
        subprocess.run(list(wine.values())[0], stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    on_disk = os.path.dirname(programs["pelorin"][0])
    with tempfile.TemporaryDirectory(prefix="pelorin-bench-", dir=memory_directory()) as d, \
            tempfile.TemporaryDirectory(prefix="pelorin-bench-", dir=on_disk) as disk:
        def path(name):
            return os.path.join(d, name)
        with open(path("answers.txt"), "wb") as f:
            f.write(script())
        with open(path("flood.txt"), "wb") as f:
            f.write(flood(args.flood_bytes))
        # What cat copies: each input's transcript, from the program measured.
        spawn_timed(programs["pelorin"], path("answers.txt"), path("transcript.txt"), d)
        spawn_timed(programs["pelorin"], path("flood.txt"), path("flood-transcript.txt"), d)
        size = os.path.getsize(path("transcript.txt"))
        flood_size = os.path.getsize(path("flood-transcript.txt"))

        scripted = {name: (argv, path("answers.txt"), path("out.txt"))
                    for name, argv in {**programs, **wine}.items()}
        scripted["cat"] = (["/bin/cat"], path("transcript.txt"), path("out.txt"))
        t = medians(args.runs, d, scripted)
        t["on_disk"] = medians(args.runs, disk, {"on_disk": (
            programs["pelorin"], path("answers.txt"), os.path.join(disk, "out.txt"))})["on_disk"]
        flooded = {name: (argv, path("flood.txt"), path("out.txt"))
                   for name, argv in {**programs, **wine}.items()}
        flooded["cat"] = (["/bin/cat"], path("flood-transcript.txt"), path("out.txt"))
        f = medians(args.flood_runs, d, flooded)
        calls = {name: write_calls(argv, path("flood.txt"), d) for name, argv in programs.items()}
        rss = {name: resident_at_final_prompt(argv[0], d) for name, argv in programs.items()}

    table("scripted run: %d runs each, by turns, in %s; transcript %d bytes" %
          (args.runs, memory_directory() or tempfile.gettempdir(), size), "rss at end KB",
          [("cat of the transcript", t["cat"], "")] +
          [(name, t[name], rss[name]) for name in programs] +
          [("pelorin, RESULTS.TXT on disk", t["on_disk"], "")])
    print("(aim: pelorin at most 1.2 x cat)")
    print()
    table("flood: %d bytes of rejected answers, %d runs each, by turns; transcript %d bytes" %
          (args.flood_bytes, args.flood_runs, flood_size), "write calls",
          [("cat of the transcript", f["cat"], "")] +
          [(name, f[name], calls[name]) for name in programs])
    print("(aim: pelorin at most 2 x cat)")
    if "baseline" in programs:
        print()
        print("baseline / pelorin: scripted %.2f, flood %.2f (CPU: %.2f, %.2f)" %
              (t["baseline"][0] / t["pelorin"][0], f["baseline"][0] / f["pelorin"][0],
               t["baseline"][1] / t["pelorin"][1], f["baseline"][1] / f["pelorin"][1]))
    for name in wine:
        print("%s: scripted %.1f ms (%.2f x linux pelorin), flood %.1f ms (%.2f x)" %
              (name, t[name][0] * 1000, t[name][0] / t["pelorin"][0], f[name][0] * 1000,
               f[name][0] / f["pelorin"][0]))


if __name__ == "__main__":
    main()
