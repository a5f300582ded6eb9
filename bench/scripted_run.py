#!/usr/bin/env python3
"""Times whole scripted runs of the program, against `cat` and other builds.

A complete questionnaire (consent, self-assessment, 54 answers with a few
detours, the final ok) is fed on standard input and standard output goes to
a file; the baseline is `cat` copying the transcript that run produced to a
file, measured in the same session. A flood of rejected answers (every
statement shown again for each) shows what output costs: its time, and the
write calls on standard output (strace, when there is one). Prints medians
and ratios, and the program's resident set (ps) while it waits at the final
prompt, after the report has been written.

--baseline measures another build (say, main's) the same way, run for run
beside this one. --windows-program measures the Windows build under Wine
against the Linux build (--windows-baseline: another Windows build).

Usage: scripted_run.py --program build/release/pelorin [--baseline OTHER]
           [--windows-program build/mingw/pelorin.exe [--windows-baseline OTHER.exe]]
           [--runs 30] [--flood-bytes 1000000] [--flood-runs 3]
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
        _, status = os.waitpid(pid, 0)
        elapsed = time.perf_counter() - start
    finally:
        os.chdir(old)
        os.close(fin)
        os.close(fout)
    if os.waitstatus_to_exitcode(status) not in (0, 1):  # a flood ends with input: 1
        raise SystemExit("%s ended with status %d" % (argv[0], status))
    return elapsed


def medians(commands, stdin_path, stdout_path, cwd, runs):
    """The median time of each command, run by turns so that they share the
    machine's moods alike."""
    times = {name: [] for name in commands}
    for _ in range(runs):
        for name, argv in commands.items():
            times[name].append(spawn_timed(argv, stdin_path, stdout_path, cwd))
    return {name: statistics.median(t) for name, t in times.items()}


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
    ap.add_argument("--flood-runs", type=int, default=3)
    args = ap.parse_args()
    linux = {"pelorin": [os.path.abspath(args.program)]}
    if args.baseline:
        linux["baseline"] = [os.path.abspath(args.baseline)]
    wine = {}
    if args.windows_program:
        wine["wine"] = [args.wine, os.path.abspath(args.windows_program)]
    if args.windows_baseline:
        wine["wine_baseline"] = [args.wine, os.path.abspath(args.windows_baseline)]
    if wine:  # a Wine server started here, not by a measured run
        subprocess.run(list(wine.values())[0], stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    with tempfile.TemporaryDirectory(prefix="pelorin-bench-") as d:
        answers, flooded = os.path.join(d, "answers.txt"), os.path.join(d, "flood.txt")
        transcript, copy = os.path.join(d, "transcript.txt"), os.path.join(d, "copy.txt")
        with open(answers, "wb") as f:
            f.write(script())
        with open(flooded, "wb") as f:
            f.write(flood(args.flood_bytes))
        spawn_timed(linux["pelorin"], answers, transcript, d)  # the baseline's bytes
        size = os.path.getsize(transcript)
        t = medians({**linux, **wine}, answers, transcript, d, args.runs)
        t["cat"] = medians({"cat": ["/bin/cat"]}, transcript, copy, d, args.runs)["cat"]
        f = medians({**linux, **wine}, flooded, transcript, d, args.flood_runs)
        flood_out = os.path.getsize(transcript)
        calls = {name: write_calls(argv, flooded, d) for name, argv in linux.items()}
        rss = {name: resident_at_final_prompt(argv[0], d) for name, argv in linux.items()}

    print("scripted run: %d runs each, transcript %d bytes" % (args.runs, size))
    print("cat_median_ms: %.3f" % (t["cat"] * 1000))
    for name in linux:
        print("%s_median_ms: %.3f" % (name, t[name] * 1000))
        print("ratio_%s_to_cat: %.2f" % (name, t[name] / t["cat"]))
        print("%s_rss_kb_at_final_prompt: %d" % (name, rss[name]))
    print("flood: %d bytes of rejected answers, %d runs each, output %d bytes" %
          (args.flood_bytes, args.flood_runs, flood_out))
    for name in linux:
        print("flood_%s_median_ms: %.1f" % (name, f[name] * 1000))
        print("flood_%s_write_calls: %s" % (name, calls[name]))
    if "baseline" in linux:
        print("ratio_baseline_to_pelorin: scripted %.2f, flood %.2f" %
              (t["baseline"] / t["pelorin"], f["baseline"] / f["pelorin"]))
    for name in wine:
        print("%s_median_ms: scripted %.1f, flood %.1f" % (name, t[name] * 1000, f[name] * 1000))
        print("ratio_%s_to_linux_pelorin: scripted %.2f, flood %.2f" %
              (name, t[name] / t["pelorin"], f[name] / f["pelorin"]))
        if "baseline" in linux:
            print("ratio_%s_to_linux_baseline: scripted %.2f, flood %.2f" %
                  (name, t[name] / t["baseline"], f[name] / f["baseline"]))


if __name__ == "__main__":
    main()
