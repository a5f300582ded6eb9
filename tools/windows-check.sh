#!/bin/sh
# The Windows build, checked on Linux: cross-built with MinGW, its unit tests
# run under Wine, its scripted runs compared byte for byte with the Linux
# build's, the keyboard on Wine's console in tmux, pelorin-results against
# the Linux build's, and its ZIP package.
# Needs the Linux release build (build/release/pelorin) for the comparison.
set -eu
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}

cmake --preset mingw
cmake --build --preset mingw -j"$jobs"

echo "--- unit tests under Wine"
sh tools/wine-test.sh

echo "--- scripted runs under Wine, compared with the Linux build"
# A first run, away from any pipe, leaves the Wine server running for the
# rest: a server started by a measured run would hold its pipes open.
sh tools/wine-run.sh build/mingw/pelorin.exe </dev/null >/dev/null 2>&1 || true
PELORIN_TIMEOUT=30 \
PELORIN_PROGRAM=build/mingw/pelorin.exe \
PELORIN_PROGRAM_PREFIX=tools/wine-run.sh \
PELORIN_START_SECONDS=3 \
PELORIN_REFERENCE_PROGRAM=build/release/pelorin \
PELORIN_BANK=typetest/question_bank.cpp \
    python3 e2e/scripted_test.py

echo "--- the keyboard on Wine's console (tmux)"
python3 e2e/wine_smoke_test.py

echo "--- pelorin-results under Wine, compared with the Linux build"
root=$(pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for answer in y n; do
    mkdir "$work/$answer"
    { printf 'ok\n"ILE, maybe"\n80\n'; yes "$answer" | head -n 54; echo ok; } |
        (cd "$work/$answer" && "$root/build/release/pelorin" >/dev/null)
done
# A Ctrl+Z byte in a typed text, which a text-mode stream takes for its end.
mkdir "$work/z"
{ printf 'ok\nIL\032E\n80\n'; yes y | head -n 54; echo ok; } |
    (cd "$work/z" && "$root/build/release/pelorin" >/dev/null)
input=/dev/null  # standard input of both runs
same_as_linux() {
    linux_code=0
    windows_code=0
    linux=$(cd "$work" && "$root/build/release/pelorin-results" "$@" <"$input" \
        2>"$work/linux.err") || linux_code=$?
    windows=$(cd "$work" && sh "$root/tools/wine-run.sh" "$root/build/mingw/pelorin-results.exe" \
        "$@" <"$input" 2>"$work/windows.err") || windows_code=$?
    # Standard error is a text stream on Windows: its lines end in CR LF.
    linux_err=$(cat "$work/linux.err")
    windows_err=$(tr -d '\r' <"$work/windows.err")
    if [ "$linux $linux_code $linux_err" != "$windows $windows_code $windows_err" ]; then
        printf 'pelorin-results %s: the Windows build gives (exit %s)\n%s\n%s\n' "$*" \
            "$windows_code" "$windows" "$windows_err"
        exit 1
    fi
}
printf 'n\r\nz/RESULTS.TXT\r\n' >"$work/list.txt"
same_as_linux --version
# The folder y holds a file named before it: read once, with a note.
same_as_linux csv y/RESULTS.TXT n/RESULTS.TXT missing.txt y
same_as_linux summary y/RESULTS.TXT n/RESULTS.TXT
same_as_linux show n/RESULTS.TXT
same_as_linux table --sort=name .
same_as_linux html --sort=name --files-from=list.txt y
input="$work/z/RESULTS.TXT"
same_as_linux csv -
echo "pelorin-results.exe: --version, csv, summary, show, table, html, folders, lists and standard input as on Linux"

echo "--- ZIP package"
(cd build/mingw && cpack -G ZIP -B packages >/dev/null)
ls build/mingw/packages/*.zip
PELORIN_BUILD_DIR=build/release PELORIN_MINGW_BUILD_DIR=build/mingw python3 e2e/package_test.py WindowsZip
