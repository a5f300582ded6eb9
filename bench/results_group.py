#!/usr/bin/env python3
"""pelorin-results over a large group, against `cat` of the same files.

A folder of N people (FOLDER/pNNNNNNN/RESULTS.TXT, each a distinct results
file) is made once; then, by turns so that they share the machine's moods
alike, `pelorin-results csv FOLDER`, `pelorin-results summary FOLDER` and
`find FOLDER -type f -exec cat {} +` run with their output going to a file.
Prints the median times and the ratios to cat, and the peak memory (the
largest resident set) of every command at N files and at 1,000, so that
growth with the group shows.

--million adds one run of every command over 1,000,000 files given as a
folder, and the same files given as a NUL-separated list on standard input
(the folder takes some 8 GB of disk on ext4 while it lasts; it is removed
afterwards).

Usage: results_group.py --program build/release/pelorin-results
           [--files 100000] [--runs 5] [--million] [--dir /tmp]
"""

import argparse
import os
import random
import shutil
import statistics
import subprocess
import tempfile
import time

TYPES = ["ILE", "LIE", "IEE", "EIE", "SLE", "LSE", "SEE", "ESE",
         "ILI", "LII", "IEI", "EII", "SLI", "LSI", "SEI", "ESI"]
COMMANDS = [["csv"], ["summary"], ["table", "--sort=name"], ["html", "--sort=rank"], ["show"]]


def results_file(rng):
    lines = ["Test Results from Pelorin 0.1.5"]
    lines += ["%s : %s" % (t, ("%.2f" % rng.uniform(5, 25)).rstrip("0").rstrip("."))
              for t in TYPES]
    lines.append("Answers : " + "".join(rng.choice("01") for _ in range(54)))
    lines.append("Expected TIM : %s (%d)" % (rng.choice(TYPES + [""]), rng.randrange(101)))
    return ("\r\n".join(lines) + "\r\n").encode()


def make_group(folder, count):
    rng = random.Random(count)
    for k in range(count):
        person = os.path.join(folder, "p%07d" % k)
        os.mkdir(person)
        with open(os.path.join(person, "RESULTS.TXT"), "wb") as f:
            f.write(results_file(rng))


def timed(argv, out_path, stdin_path=None, peak=False):
    """Seconds of one run, and with `peak` its largest resident set in KiB.
    That is measured by time(1): a process started from here by fork (or
    vfork) counts this script's resident set as its own."""
    if peak:
        measured = out_path + ".rss"
        argv = ["/usr/bin/time", "-f", "%M", "-o", measured] + argv
    fin = os.open(stdin_path or os.devnull, os.O_RDONLY)
    fout = os.open(out_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    start = time.perf_counter()
    pid = os.posix_spawnp(argv[0], argv, os.environ,
                          file_actions=[(os.POSIX_SPAWN_DUP2, fin, 0),
                                        (os.POSIX_SPAWN_DUP2, fout, 1)])
    _, status = os.waitpid(pid, 0)
    elapsed = time.perf_counter() - start
    os.close(fin)
    os.close(fout)
    if os.waitstatus_to_exitcode(status) != 0:
        raise SystemExit("%s ended with status %d" % (" ".join(argv), status))
    if not peak:
        return elapsed, None
    with open(measured) as f:
        return elapsed, int(f.read().split()[-1])


def side_by_side(program, folder, out_path, runs):
    commands = {"cat": ["find", folder, "-type", "f", "-exec", "cat", "{}", "+"],
                "csv": [program, "csv", folder], "summary": [program, "summary", folder]}
    times = {name: [] for name in commands}
    for _ in range(runs):
        for name, argv in commands.items():
            times[name].append(timed(argv, out_path)[0])
    return {name: statistics.median(t) for name, t in times.items()}


def peaks(program, folder, out_path):
    return {" ".join(c): timed([program] + c + [folder], out_path, peak=True)[1]
            for c in COMMANDS}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--program", default="build/release/pelorin-results")
    ap.add_argument("--files", type=int, default=100000)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--million", action="store_true")
    ap.add_argument("--dir", default=None, help="where the groups are made")
    args = ap.parse_args()
    program = os.path.abspath(args.program)
    with tempfile.TemporaryDirectory(prefix="pelorin-group-", dir=args.dir) as d:
        out = os.path.join(d, "out")
        small, large = os.path.join(d, "small"), os.path.join(d, "large")
        os.mkdir(small)
        os.mkdir(large)
        make_group(small, 1000)
        started = time.perf_counter()
        make_group(large, args.files)
        print("group: %d files made in %.0f s" % (args.files, time.perf_counter() - started))
        timed(["find", large, "-type", "f", "-exec", "cat", "{}", "+"], out)  # a warm cache
        t = side_by_side(program, large, out, args.runs)
        print("%d files as a folder, median of %d runs each:" % (args.files, args.runs))
        for name in ("cat", "csv", "summary"):
            print("  %-8s %8.1f ms" % (name, t[name] * 1000))
        print("  ratio csv to cat: %.2f, summary to cat: %.2f" %
              (t["csv"] / t["cat"], t["summary"] / t["cat"]))
        at_small, at_large = peaks(program, small, out), peaks(program, large, out)
        print("peak memory (largest resident set), at 1000 files and at %d:" % args.files)
        for name in at_small:
            print("  %-22s %7.1f MiB %7.1f MiB" % (name, at_small[name] / 1024,
                                                   at_large[name] / 1024))
        shutil.rmtree(small)
        shutil.rmtree(large)
        if args.million:
            million(program, d, out)


def million(program, d, out):
    folder = os.path.join(d, "million")
    os.mkdir(folder)
    started = time.perf_counter()
    make_group(folder, 1000000)
    print("group: 1000000 files made in %.0f s" % (time.perf_counter() - started))
    listed = os.path.join(d, "list")
    with open(listed, "wb") as f:
        subprocess.run(["find", folder, "-name", "RESULTS.TXT", "-print0"], stdout=f, check=True)
    runs = [("cat", ["find", folder, "-type", "f", "-exec", "cat", "{}", "+"], None)]
    runs += [(" ".join(c), [program] + c + [folder], None) for c in COMMANDS]
    runs.append(("csv --files-from=- -0", [program, "csv", "--files-from=-", "-0"], listed))
    print("1000000 files, one run each:")
    for name, argv, stdin in runs:
        seconds, peak = timed(argv, out, stdin, peak=True)
        print("  %-22s %8.1f s %7.1f MiB, output %d MB" %
              (name, seconds, peak / 1024, os.path.getsize(out) // 1000000))
    shutil.rmtree(folder)


if __name__ == "__main__":
    main()
