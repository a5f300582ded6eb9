#!/usr/bin/env python3
"""Times a whole scripted run of the program against `cat` of the same bytes.

A complete questionnaire (consent, self-assessment, 54 answers with a few
detours, the final ok) is fed on standard input and standard output goes to
a file; the baseline is `cat` copying the transcript that run produced to a
file, measured in the same session. Prints the medians and their ratio, and
the program's peak resident set (VmHWM) read while it waits at the final
prompt, after the report has been written. (The ru_maxrss that wait4 reports
is useless here: it includes this script's memory image from before exec.)

Usage: scripted_run.py --program build/release/pelorin [--runs 30]
"""

import argparse
import os
import statistics
import subprocess
import tempfile
import time


def script():
    answers = []
    for q in range(1, 55):
        answers += ["n", "p", "y"] if q % 9 == 0 and q < 54 else ["y" if q % 2 else "n"]
    return ("ok\nILE\n80\n" + "\n".join(answers) + "\nok\n").encode()


def peak_rss_kb(program, cwd):
    """VmHWM of the program while it waits for the final ok."""
    data = script()
    body, last = data[:data.rindex(b"ok\n")], b"ok\n"
    p = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, cwd=cwd)
    p.stdin.write(body)
    p.stdin.flush()
    deadline = time.monotonic() + 5
    while not os.path.exists(os.path.join(cwd, "RESULTS.TXT")) and time.monotonic() < deadline:
        time.sleep(0.005)
    time.sleep(0.05)
    hwm = 0
    with open("/proc/%d/status" % p.pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                hwm = int(line.split()[1])
    p.stdin.write(last)
    p.stdin.close()
    p.wait(timeout=5)
    os.remove(os.path.join(cwd, "RESULTS.TXT"))
    return hwm


def spawn_timed(argv, stdin_path, stdout_path, cwd):
    fin = os.open(stdin_path, os.O_RDONLY)
    fout = os.open(stdout_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    old = os.getcwd()
    os.chdir(cwd)
    try:
        start = time.perf_counter()
        pid = os.posix_spawn(argv[0], argv, os.environ,
                             file_actions=[(os.POSIX_SPAWN_DUP2, fin, 0),
                                           (os.POSIX_SPAWN_DUP2, fout, 1)])
        _, status = os.waitpid(pid, 0)
        elapsed = time.perf_counter() - start
    finally:
        os.chdir(old)
        os.close(fin)
        os.close(fout)
    if os.waitstatus_to_exitcode(status) != 0:
        raise SystemExit("%s ended with status %d" % (argv[0], status))
    return elapsed


def measure(argv, stdin_path, stdout_path, cwd, runs):
    return statistics.median(spawn_timed(argv, stdin_path, stdout_path, cwd) for _ in range(runs))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--program", default="build/release/pelorin")
    ap.add_argument("--runs", type=int, default=30)
    args = ap.parse_args()
    program = os.path.abspath(args.program)
    cat = "/bin/cat"
    with tempfile.TemporaryDirectory(prefix="pelorin-bench-") as d:
        answers = os.path.join(d, "answers.txt")
        transcript = os.path.join(d, "transcript.txt")
        copy = os.path.join(d, "copy.txt")
        with open(answers, "wb") as f:
            f.write(script())
        spawn_timed([program], answers, transcript, d)  # warm-up, and the baseline's bytes
        size = os.path.getsize(transcript)
        p_med = measure([program], answers, transcript, d, args.runs)
        c_med = measure([cat], transcript, copy, d, args.runs)
        p_rss = peak_rss_kb(program, d)
    print("runs: %d each, transcript %d bytes" % (args.runs, size))
    print("pelorin_median_ms: %.3f" % (p_med * 1000))
    print("cat_median_ms: %.3f" % (c_med * 1000))
    print("ratio_pelorin_to_cat: %.2f" % (p_med / c_med))
    print("pelorin_peak_rss_kb: %d" % p_rss)


if __name__ == "__main__":
    main()
