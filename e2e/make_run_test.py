#!/usr/bin/env python3
"""`make run` needs CMake and a C++ compiler, nothing else.

A copy of the source tree is built and started with `make run` by an
unprivileged user whose PATH has no dpkg, apt or sudo; answering `no` to the
consent prompt must show the introduction and end the program with exit 0.

Environment: PELORIN_SOURCE_DIR (the source tree to copy).
"""

import os
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
SOURCE = Path(os.environ.get("PELORIN_SOURCE_DIR", HERE.parent)).resolve()
INTRODUCTION = (HERE / "golden" / "introduction.out").read_bytes()
NOBODY = 65534
HIDDEN = ("dpkg", "apt", "sudo")
TIMEOUT = 600


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


class MakeRun(unittest.TestCase):
    def test_builds_and_starts_without_package_tools_or_root(self):
        with tempfile.TemporaryDirectory(prefix="pelorin-make-run-") as d:
            scratch = Path(d)
            tree, bin_dir = scratch / "pelorin", scratch / "bin"
            shutil.copytree(SOURCE, tree, symlinks=True,
                            ignore=shutil.ignore_patterns(".git", "build"))
            bin_dir.mkdir()
            path_without_package_tools(bin_dir)
            user = {}
            if os.geteuid() == 0:
                for p in [scratch, *scratch.rglob("*")]:
                    os.lchown(p, NOBODY, NOBODY)
                user = {"user": NOBODY, "group": NOBODY, "extra_groups": []}
            env = {"PATH": str(bin_dir), "HOME": str(scratch), "LC_ALL": "C"}
            p = subprocess.run(["make", "run"], input=b"no\n", capture_output=True, cwd=tree,
                               env=env, timeout=TIMEOUT, **user)
            self.assertEqual(p.stderr, b"")
            self.assertEqual(p.returncode, 0)
            self.assertEqual(p.stdout, INTRODUCTION)
            self.assertTrue((tree / "build" / "release" / "pelorin").is_file())
            self.assertFalse((tree / "RESULTS.TXT").exists())


if __name__ == "__main__":
    unittest.main()
