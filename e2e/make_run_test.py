#!/usr/bin/env python3
"""The README's set-up, followed in order on a fresh clone: `make run`, the
test taken to the end, then `make test`.

The files git lists of the source tree (what a clone has, and new files not
yet added) are copied and started with `make run` by an unprivileged user
whose PATH has no dpkg, apt or sudo: CMake and a C++ compiler must do. The
first run says what it builds, then takes the whole questionnaire; a second
starts at once with no build noise. What the runs leave in the tree (the
build, RESULTS.TXT) git ignores, so that no copy of a used tree, this
test's own included, takes it.

Environment: PELORIN_SOURCE_DIR (the source tree to copy).
"""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
from dialogue_model import load_bank, model  # noqa: E402

SOURCE = Path(os.environ.get("PELORIN_SOURCE_DIR", HERE.parent)).resolve()
BANK = load_bank(SOURCE / "typetest" / "question_bank.cpp")
SCRIPT = b"ok\nILE\n80\n" + b"y\n" * 54 + b"ok\n"
INTRODUCTION = (HERE / "golden" / "introduction.out").read_bytes()
BUILDING = b"Building Pelorin in build/release (the first build takes a minute or two)...\n"
NOBODY = 65534
HIDDEN = ("dpkg", "apt", "sudo")
TIMEOUT = 600


def git(*args):
    return subprocess.run(["git", "-c", "safe.directory=*", "-C", str(SOURCE), *args],
                          capture_output=True)


def copy_listed_files(tree):
    """The tree as a clone has it, with the changes not yet committed."""
    listed = git("ls-files", "-z", "--cached", "--others", "--exclude-standard").stdout
    for name in filter(None, listed.split(b"\0")):
        source, copy = SOURCE / os.fsdecode(name), tree / os.fsdecode(name)
        if source.exists():  # not deleted since
            copy.parent.mkdir(parents=True, exist_ok=True)
            shutil.copy2(source, copy, follow_symlinks=False)


def path_without_package_tools(bin_dir):
    """A directory of links to every command on PATH but dpkg*, apt* and sudo."""
    for directory in os.environ.get("PATH", "").split(os.pathsep):
        if not os.path.isdir(directory):
            continue
        for name in os.listdir(directory):
            link = bin_dir / name
            if name.startswith(HIDDEN) or link.exists():
                continue
            target = Path(directory) / name
            if target.is_file() and os.access(target, os.X_OK):
                link.symlink_to(target)


@unittest.skipUnless(shutil.which("git") and git("rev-parse").returncode == 0,
                     "needs the source tree's git checkout")
class MakeRun(unittest.TestCase):
    def test_builds_saying_so_and_runs_without_package_tools_or_root(self):
        with tempfile.TemporaryDirectory(prefix="pelorin-make-run-") as d:
            scratch = Path(d)
            tree, bin_dir = scratch / "pelorin", scratch / "bin"
            copy_listed_files(tree)
            bin_dir.mkdir()
            path_without_package_tools(bin_dir)
            user = {}
            if os.geteuid() == 0:
                for p in [scratch, *scratch.rglob("*")]:
                    os.lchown(p, NOBODY, NOBODY)
                user = {"user": NOBODY, "group": NOBODY, "extra_groups": []}
            env = {"PATH": str(bin_dir), "HOME": str(scratch), "LC_ALL": "C"}
            before = set(os.listdir(tree))

            def make_run(answers):
                p = subprocess.run(["make", "run"], input=answers, capture_output=True, cwd=tree,
                                   env=env, timeout=TIMEOUT, **user)
                return p.returncode, p.stdout, p.stderr

            code, out, err = make_run(SCRIPT)
            transcript, results, _ = model(SCRIPT, BANK)
            self.assertEqual((code, out), (0, transcript), err)
            self.assertEqual((tree / "RESULTS.TXT").read_bytes(), results)
            steps = err.splitlines()
            self.assertEqual(err[:len(BUILDING)], BUILDING)
            self.assertEqual(steps[-1], b"  linking pelorin")
            self.assertTrue(all(s.startswith(b"  compiling ") for s in steps[1:-1]), err)
            self.assertGreater(len(steps), 10)

            self.assertEqual(make_run(b"no\n"), (0, INTRODUCTION, b""))
            for left in set(os.listdir(tree)) - before:
                self.assertEqual(git("check-ignore", "-q", left).returncode, 0, left)


if __name__ == "__main__":
    unittest.main()
