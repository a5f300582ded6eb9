#!/usr/bin/env python3
"""The installed program, its manual page and the Debian package.

`cmake --install` into a fresh prefix must give exactly the program and its
manual page, and the program must run a scripted questionnaire from there.
The page must render without a warning, quote the texts the program prints
exactly as it prints them, and its examples must do what they say when run.
The Debian package built with cpack must carry the name, the version the
program announces, its library dependencies and the same two files, the page
compressed, with checksums that match.

Environment: PELORIN_BUILD_DIR (a configured and built tree), PELORIN_CMAKE,
PELORIN_CPACK (the CMake and CPack of that build).
"""

import gzip
import hashlib
import os
import re
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
SOURCE_PAGE = HERE.parent / "packaging" / "pelorin.1"
GOLDEN_ALL_YES = (HERE / "golden" / "all_yes.out").read_bytes()
ALL_YES_INPUT = b"ok\nILE\n80\n" + b"y\n" * 54 + b"ok\n"
BUILD = Path(os.environ.get("PELORIN_BUILD_DIR", "build/release")).resolve()
CMAKE = os.environ.get("PELORIN_CMAKE", "cmake")
CPACK = os.environ.get("PELORIN_CPACK", "cpack")
TIMEOUT = 60


def run(cmd, **kwargs):
    return subprocess.run(cmd, capture_output=True, timeout=TIMEOUT, **kwargs)


def announced_version():
    """The version in the banner the program prints ("Pelorin 0.1.5")."""
    match = re.search(rb"\r\nPelorin (\S+)\r\n", GOLDEN_ALL_YES)
    return match.group(1).decode()


def files_under(root):
    return sorted(str(p.relative_to(root)) for p in Path(root).rglob("*") if not p.is_dir())


class ScriptedRunMixin:
    def assert_runs_all_yes(self, program, args=()):
        with tempfile.TemporaryDirectory(prefix="pelorin-pkg-") as d:
            p = run([str(program), *args], input=ALL_YES_INPUT, cwd=d)
            results = (Path(d) / "RESULTS.TXT").read_bytes()
        self.assertEqual(p.stderr, b"")
        self.assertEqual(p.returncode, 0)
        self.assertEqual(p.stdout, GOLDEN_ALL_YES)
        rows = results.split(b"\r\n")
        self.assertEqual(len(rows), 20, "19 lines, each ending in CR LF")
        self.assertEqual(rows[0], b"Test Results from Pelorin " + announced_version().encode())
        self.assertEqual(rows[17], b"Answers : " + b"1" * 54)
        self.assertEqual(rows[18], b"Expected TIM : ILE (80)")


PREFIX = None  # the install that every group looks at, made once


def setUpModule():
    global PREFIX
    PREFIX = tempfile.TemporaryDirectory(prefix="pelorin-prefix-")
    Install.result = run([CMAKE, "--install", str(BUILD), "--prefix", PREFIX.name])


def tearDownModule():
    PREFIX.cleanup()


def installed(path):
    return Path(PREFIX.name) / path


class Install(ScriptedRunMixin, unittest.TestCase):
    result = None

    def test_installs_exactly_the_program_and_the_page(self):
        self.assertEqual(self.result.returncode, 0, self.result.stderr.decode())
        self.assertEqual(files_under(PREFIX.name), ["bin/pelorin", "share/man/man1/pelorin.1"])
        self.assertTrue(os.access(installed("bin/pelorin"), os.X_OK))
        self.assertEqual(installed("share/man/man1/pelorin.1").read_bytes(),
                         SOURCE_PAGE.read_bytes())

    def test_installed_program_runs_a_scripted_questionnaire(self):
        self.assert_runs_all_yes(installed("bin/pelorin"))

    def test_installed_program_ignores_its_arguments(self):
        self.assert_runs_all_yes(installed("bin/pelorin"), ["--help", "-v", "x"])


@unittest.skipUnless(shutil.which("groff"), "groff is not installed: manual page not rendered")
class ManualPage(unittest.TestCase):
    @staticmethod
    def page():
        return str(installed("share/man/man1/pelorin.1"))

    def render(self):
        # Plain text: no bold, underline or overstrike; a line long enough that
        # no sentence of a paragraph is broken.
        cmd = ["groff", "-man", "-Tutf8", "-P-cbou", "-rLL=1000n", self.page()]
        return run(cmd).stdout.decode("utf-8")

    def test_renders_without_warnings(self):
        p = run(["groff", "-man", "-Tutf8", "-ww", "-z", self.page()])
        self.assertEqual((p.returncode, p.stderr.decode()), (0, ""))
        if shutil.which("man"):
            p = run(["man", "--warnings", "-l", self.page()], env={**os.environ, "MANWIDTH": "80"})
            self.assertEqual((p.returncode, p.stderr.decode()), (0, ""))
        if shutil.which("lexgrog"):
            p = run(["lexgrog", self.page()])
            self.assertIn(b'"pelorin - socionic type questionnaire"', p.stdout)

    def test_has_the_sections_a_reader_looks_for(self):
        headings = re.findall(r"^([A-Z][A-Z ]+)$", self.render(), re.M)
        for name in ["NAME", "SYNOPSIS", "DESCRIPTION", "REDIRECTED USE", "FILES",
                     "EXIT STATUS", "ENVIRONMENT", "EXAMPLES", "BUGS"]:
            self.assertIn(name, headings)

    def test_quotes_the_texts_the_program_prints(self):
        text = self.render()
        lines = GOLDEN_ALL_YES.decode("latin-1").split("\r\n")
        fixed = {line for line in lines
                 if line and not line.startswith("Q") and not re.match(r"[A-Z]{3} : ", line)}
        self.assertGreaterEqual(len(fixed), 9)
        for line in sorted(fixed):
            quoted = "\u201c%s\u201d" % line
            self.assertTrue(quoted in text, "the page does not quote %r as printed" % line)

    def examples(self):
        """The shell sessions of EXAMPLES: [command, the lines it prints]."""
        section = self.render().split("\nEXAMPLES\n")[1].split("\nNOTES\n")[0]
        sessions = []
        for line in section.splitlines():
            # Sessions are indented as examples; the prose between them is not.
            if not line.startswith(" " * 14):
                continue
            line = line.strip()
            if line.startswith("$ "):
                sessions.append([line[2:], []])
            elif line.startswith("> "):
                sessions[-1][0] += "\n" + line[2:]
            else:
                sessions[-1][1].append(line)
        return sessions

    def test_examples_do_what_they_say(self):
        sessions = [s for s in self.examples() if s[0] != "pelorin"]
        self.assertGreaterEqual(len(sessions), 7)
        env = {**os.environ, "PATH": "%s:%s" % (installed("bin"), os.environ["PATH"])}
        with tempfile.TemporaryDirectory(prefix="pelorin-examples-") as d:
            for command, shown in sessions:
                with self.subTest(command=command):
                    p = run(["sh", "-c", command], cwd=d, env=env, stdin=subprocess.DEVNULL)
                    self.assertEqual(p.stderr, b"")
                    self.assertEqual(p.stdout.decode("latin-1").splitlines(), shown)


@unittest.skipUnless(shutil.which("dpkg-deb") and shutil.which("dpkg-shlibdeps"),
                     "dpkg-deb or dpkg-shlibdeps (dpkg-dev) is missing: no Debian package")
class DebianPackage(ScriptedRunMixin, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory(prefix="pelorin-deb-")
        out = Path(cls.dir.name)
        cls.cpack = run([CPACK, "--config", str(BUILD / "CPackConfig.cmake"), "-B", str(out)])
        arch = run(["dpkg", "--print-architecture"]).stdout.decode().strip()
        cls.deb = out / ("pelorin_%s_%s.deb" % (announced_version(), arch))
        cls.arch = arch
        cls.tree = out / "tree"
        cls.control = out / "control"
        if cls.deb.exists():
            run(["dpkg-deb", "-x", str(cls.deb), str(cls.tree)])
            run(["dpkg-deb", "-e", str(cls.deb), str(cls.control)])

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def setUp(self):
        self.assertTrue(self.deb.exists(), "cpack made no %s:\n%s" % (
            self.deb.name, self.cpack.stdout.decode() + self.cpack.stderr.decode()))

    def field(self, name):
        return run(["dpkg-deb", "-f", str(self.deb), name]).stdout.decode().strip()

    def test_control_fields(self):
        self.assertEqual(self.field("Package"), "pelorin")
        self.assertEqual(self.field("Version"), announced_version())
        self.assertEqual(self.field("Architecture"), self.arch)
        self.assertRegex(self.field("Maintainer"), r"^[^<>]+ <[^<>@]+@[^<>@]+>$")
        self.assertEqual(self.field("Section"), "misc")
        self.assertTrue(self.field("Description").startswith("socionic type questionnaire"))
        # Found by dpkg-shlibdeps from the program's own libraries.
        self.assertRegex(self.field("Depends"), r"\blibc6 \(>= [0-9.]+\)")
        info = run(["dpkg-deb", "-I", str(self.deb)])
        self.assertEqual(info.returncode, 0)

    def test_contents(self):
        listing = run(["dpkg-deb", "-c", str(self.deb)]).stdout.decode().splitlines()
        entries = {row.split()[-1]: (row.split()[0], row.split()[1]) for row in listing}
        files = {path: mode for path, mode in entries.items() if not path.endswith("/")}
        self.assertEqual(files, {
            "./usr/bin/pelorin": ("-rwxr-xr-x", "root/root"),
            "./usr/share/man/man1/pelorin.1.gz": ("-rw-r--r--", "root/root"),
        })

    def test_packaged_files_work_and_match_their_checksums(self):
        page = self.tree / "usr/share/man/man1/pelorin.1.gz"
        self.assertEqual(gzip.decompress(page.read_bytes()), SOURCE_PAGE.read_bytes())
        self.assert_runs_all_yes(self.tree / "usr/bin/pelorin")
        sums = {}
        for row in (self.control / "md5sums").read_text().splitlines():
            digest, path = row.split(None, 1)
            sums[path] = digest
        self.assertEqual(sorted(sums), ["usr/bin/pelorin", "usr/share/man/man1/pelorin.1.gz"])
        for path, digest in sums.items():
            self.assertEqual(hashlib.md5((self.tree / path).read_bytes()).hexdigest(), digest, path)


if __name__ == "__main__":
    unittest.main(verbosity=2)  # skip reasons show in the log
