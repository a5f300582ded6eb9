#!/usr/bin/env python3
"""The installed programs, their manual pages and the packages.

`cmake --install` into a fresh prefix must give exactly the two programs
(pelorin and pelorin-results) and their manual pages, and the programs must
run from there. The pages must render without a warning; pelorin's must
quote the texts the program prints exactly as it prints them, and its
examples must do what they say when run; where the build links the C++
runtime in (PELORIN_STATIC_RUNTIME=1), they need no shared one. The Debian
package built with cpack must carry the name, the version the program
announces, its library dependencies (the shared C++ runtime among them) and
the same four files, the pages compressed, with checksums that match. The
Windows ZIP must hold both programs and both pages as text.

Environment: PELORIN_BUILD_DIR (a configured and built tree), PELORIN_CMAKE,
PELORIN_CPACK (the CMake and CPack of that build); PELORIN_MINGW_BUILD_DIR (a
built Windows tree) for the ZIP.
"""

import gzip
import hashlib
import os
import re
import shutil
import subprocess
import tempfile
import unittest
import zipfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
SOURCE_PAGE = HERE.parent / "packaging" / "pelorin.1"
RESULTS_PAGE = HERE.parent / "packaging" / "pelorin-results.1"
PROGRAMS_AND_PAGES = ["bin/pelorin", "bin/pelorin-results", "share/man/man1/pelorin-results.1",
                      "share/man/man1/pelorin.1"]
GOLDEN_ALL_YES = (HERE / "golden" / "all_yes.out").read_bytes()
ALL_YES_INPUT = b"ok\nILE\n80\n" + b"y\n" * 54 + b"ok\n"
BUILD = Path(os.environ.get("PELORIN_BUILD_DIR", "build/release")).resolve()
CMAKE = os.environ.get("PELORIN_CMAKE", "cmake")
CPACK = os.environ.get("PELORIN_CPACK", "cpack")
STATIC_RUNTIME = os.environ.get("PELORIN_STATIC_RUNTIME") == "1"
TIMEOUT = 60
CXX_RUNTIME = re.compile(r"^lib(stdc\+\+|c\+\+|gcc_s)\.so")


def run(cmd, **kwargs):
    return subprocess.run(cmd, capture_output=True, timeout=TIMEOUT, **kwargs)


def announced_version():
    """The version in the banner the program prints ("Pelorin 0.1.5")."""
    match = re.search(rb"\r\nPelorin (\S+)\r\n", GOLDEN_ALL_YES)
    return match.group(1).decode()


def shared_libraries(program):
    """The shared libraries a program names (its NEEDED entries)."""
    shown = run(["readelf", "--dynamic", str(program)]).stdout.decode()
    return re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", shown)


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

    def assert_shows_results(self, results_program):
        """pelorin-results reads what pelorin wrote and knows its version."""
        p = run([str(results_program), "--version"])
        self.assertEqual(p.stdout, b"pelorin-results (Pelorin) %s\n" % announced_version().encode())
        with tempfile.TemporaryDirectory(prefix="pelorin-pkg-") as d:
            (Path(d) / "RESULTS.TXT").write_bytes(
                b"Test Results from Pelorin 0.1.5\r\n" +
                b"".join(b"%s : 1\r\n" % t for t in b"ILE LIE IEE EIE SLE LSE SEE ESE ILI LII "
                         b"IEI EII SLI LSI SEI ESI".split()) +
                b"Answers : 1\r\nExpected TIM : ILE (80)\r\n")
            p = run([str(results_program), "csv", "RESULTS.TXT"], cwd=d)
        self.assertEqual((p.returncode, p.stderr), (0, b""))
        # All 16 on top, ILE expected and matched, one answer of 54.
        self.assertTrue(p.stdout.endswith(b",ILE+LIE+IEE+EIE+SLE+LSE+SEE+ESE+ILI+LII+IEI+EII+SLI+"
                                          b"LSI+SEI+ESI,ILE,1,1,80,ILE,1" + b"," * 53 + b"\r\n"))


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

    def test_installs_exactly_the_programs_and_the_pages(self):
        self.assertEqual(self.result.returncode, 0, self.result.stderr.decode())
        self.assertEqual(files_under(PREFIX.name), PROGRAMS_AND_PAGES)
        self.assertTrue(os.access(installed("bin/pelorin"), os.X_OK))
        self.assertEqual(installed("share/man/man1/pelorin.1").read_bytes(),
                         SOURCE_PAGE.read_bytes())
        self.assertEqual(installed("share/man/man1/pelorin-results.1").read_bytes(),
                         RESULTS_PAGE.read_bytes())

    def test_installed_results_program_runs(self):
        self.assert_shows_results(installed("bin/pelorin-results"))

    def test_installed_program_runs_a_scripted_questionnaire(self):
        self.assert_runs_all_yes(installed("bin/pelorin"))

    def test_installed_program_ignores_its_arguments(self):
        self.assert_runs_all_yes(installed("bin/pelorin"), ["--help", "-v", "x"])

    @unittest.skipUnless(STATIC_RUNTIME and shutil.which("readelf"),
                         "this build links the shared C++ runtime, or readelf is missing")
    def test_installed_programs_carry_the_cxx_runtime(self):
        for program in ("bin/pelorin", "bin/pelorin-results"):
            libraries = shared_libraries(installed(program))
            self.assertIn("libc.so.6", libraries)
            self.assertEqual([lib for lib in libraries if CXX_RUNTIME.match(lib)], [], program)


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
        pages = {self.page(): b"pelorin - socionic type questionnaire",
                 str(installed("share/man/man1/pelorin-results.1")):
                     b"pelorin-results - show the results files of the pelorin questionnaire"}
        for page, name in pages.items():
            with self.subTest(page=page):
                p = run(["groff", "-man", "-Tutf8", "-ww", "-z", page])
                self.assertEqual((p.returncode, p.stderr.decode()), (0, ""))
                if shutil.which("man"):
                    p = run(["man", "--warnings", "-l", page], env={**os.environ, "MANWIDTH": "80"})
                    self.assertEqual((p.returncode, p.stderr.decode()), (0, ""))
                if shutil.which("lexgrog"):
                    p = run(["lexgrog", page])
                    self.assertIn(b'"' + name + b'"', p.stdout)

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
        # The shared C++ runtime, as Debian links its programs.
        self.assertRegex(self.field("Depends"), r"\blib(stdc|c)\+\+[0-9-]+ \(>= [^)]+\)")
        if shutil.which("readelf"):
            for program in ("usr/bin/pelorin", "usr/bin/pelorin-results"):
                libraries = shared_libraries(self.tree / program)
                self.assertTrue(any(CXX_RUNTIME.match(lib) for lib in libraries), program)
        info = run(["dpkg-deb", "-I", str(self.deb)])
        self.assertEqual(info.returncode, 0)

    def test_contents(self):
        listing = run(["dpkg-deb", "-c", str(self.deb)]).stdout.decode().splitlines()
        entries = {row.split()[-1]: (row.split()[0], row.split()[1]) for row in listing}
        files = {path: mode for path, mode in entries.items() if not path.endswith("/")}
        self.assertEqual(files, {
            "./usr/bin/pelorin": ("-rwxr-xr-x", "root/root"),
            "./usr/bin/pelorin-results": ("-rwxr-xr-x", "root/root"),
            "./usr/share/man/man1/pelorin.1.gz": ("-rw-r--r--", "root/root"),
            "./usr/share/man/man1/pelorin-results.1.gz": ("-rw-r--r--", "root/root"),
        })

    def test_packaged_files_work_and_match_their_checksums(self):
        page = self.tree / "usr/share/man/man1/pelorin.1.gz"
        self.assertEqual(gzip.decompress(page.read_bytes()), SOURCE_PAGE.read_bytes())
        page = self.tree / "usr/share/man/man1/pelorin-results.1.gz"
        self.assertEqual(gzip.decompress(page.read_bytes()), RESULTS_PAGE.read_bytes())
        self.assert_runs_all_yes(self.tree / "usr/bin/pelorin")
        self.assert_shows_results(self.tree / "usr/bin/pelorin-results")
        sums = {}
        for row in (self.control / "md5sums").read_text().splitlines():
            digest, path = row.split(None, 1)
            sums[path] = digest
        self.assertEqual(sorted(sums), ["usr/bin/pelorin", "usr/bin/pelorin-results",
                                        "usr/share/man/man1/pelorin-results.1.gz",
                                        "usr/share/man/man1/pelorin.1.gz"])
        for path, digest in sums.items():
            self.assertEqual(hashlib.md5((self.tree / path).read_bytes()).hexdigest(), digest, path)


MINGW_BUILD = os.environ.get("PELORIN_MINGW_BUILD_DIR")


@unittest.skipUnless(MINGW_BUILD, "PELORIN_MINGW_BUILD_DIR is not set: no Windows ZIP")
class WindowsZip(unittest.TestCase):
    def test_holds_both_programs_and_both_pages(self):
        build = Path(MINGW_BUILD).resolve()
        with tempfile.TemporaryDirectory(prefix="pelorin-zip-") as out:
            p = run([CPACK, "--config", str(build / "CPackConfig.cmake"), "-G", "ZIP", "-B", out])
            self.assertEqual(p.returncode, 0, p.stdout.decode() + p.stderr.decode())
            archive = Path(out) / ("pelorin-%s-win64.zip" % announced_version())
            with zipfile.ZipFile(archive) as z:
                names = sorted(n.split("/", 1)[1] for n in z.namelist() if not n.endswith("/"))
        self.assertEqual(names, ["bin/pelorin-results.exe", "bin/pelorin.exe",
                                 "share/doc/pelorin/pelorin-results.txt",
                                 "share/doc/pelorin/pelorin.txt"])


if __name__ == "__main__":
    unittest.main(verbosity=2)  # skip reasons show in the log
