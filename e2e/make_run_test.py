#!/usr/bin/env python3
"""`make run` needs CMake and a C++ compiler, nothing else.

The files git lists of the source tree are copied, built and started with
`make run` by an unprivileged user whose PATH has no dpkg, apt or sudo: a
first run says what it builds, a second nothing. What runs leave in a tree
(the build, RESULTS.TXT) git ignores, so no copy of a used tree takes it.

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
INTRODUCTION = (HERE / "golden" / "introduction.out").read_bytes()
SCRIPT = b"ok\nILE\n80\n" + b"y\n" * 54 + b"ok\n"
TRANSCRIPT, RESULTS, _ = model(SCRIPT, load_bank(SOURCE / "typetest" / "question_bank.cpp"))
NOBODY = 65534
HIDDEN = ("dpkg", "apt", "sudo")
TIMEOUT = 600
BUILDING = (rb"\ABuilding Pelorin in build/release \(the first build .*\.\.\.\n"
            rb"(  compiling \S+\n)+  linking pelorin\n\Z")


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


def git(*args):
    return subprocess.run(["git", "-c", "safe.directory=*", "-C", SOURCE, *args],
                          capture_output=True)


@unittest.skipUnless(shutil.which("git") and git("rev-parse").returncode == 0,
                     "needs the source tree's git checkout")
class MakeRun(unittest.TestCase):
    def test_builds_and_starts_without_package_tools_or_root(self):
        with tempfile.TemporaryDirectory(prefix="pelorin-make-run-") as d:
            scratch = Path(d)
            tree, bin_dir = scratch / "pelorin", scratch / "bin"
            listed = git("ls-files", "-z", "--cached", "--others", "--exclude-standard").stdout
            for name in filter(None, listed.decode().split("\0")):
                if (SOURCE / name).exists():  # not deleted since
                    (tree / name).parent.mkdir(parents=True, exist_ok=True)
                    shutil.copy2(SOURCE / name, tree / name, follow_symlinks=False)
            bin_dir.mkdir()
            path_without_package_tools(bin_dir)
            user = {}
            if os.geteuid() == 0:
                for p in [scratch, *scratch.rglob("*")]:
                    os.lchown(p, NOBODY, NOBODY)
                user = {"user": NOBODY, "group": NOBODY, "extra_groups": []}
            env = {"PATH": str(bin_dir), "HOME": str(scratch), "LC_ALL": "C"}
            before = set(os.listdir(tree))
            for answers, out, err in [(SCRIPT, TRANSCRIPT, BUILDING),
                                      (b"no\n", INTRODUCTION, rb"\A\Z")]:
                p = subprocess.run(["make", "run"], input=answers, capture_output=True, cwd=tree,
                                   env=env, timeout=TIMEOUT, **user)
                self.assertEqual((p.returncode, p.stdout), (0, out), p.stderr)
                self.assertRegex(p.stderr, err)
            self.assertEqual((tree / "RESULTS.TXT").read_bytes(), RESULTS)
            for left in set(os.listdir(tree)) - before:
                self.assertEqual(git("check-ignore", "-q", left).returncode, 0, left)


if __name__ == "__main__":
    unittest.main()
