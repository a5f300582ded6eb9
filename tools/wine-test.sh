#!/bin/sh
# Runs the Windows unit tests (build/mingw/pelorin_*_tests.exe, one program
# per layer, made by `cmake --preset mingw && cmake --build --preset mingw`)
# under Wine and exits with the first failing program's exit code, or 0.
#
# Needs only Debian's wine64 package. The Wine prefix lives in
# build/wineprefix and is created on first use. The tests get a console of
# their own: Wine gives a process a console only when it starts on a
# terminal, so they run on a pseudo-terminal made by script(1), with their
# output going to a log that is shown afterwards. Every step is bounded by
# timeout, so a stuck Wine cannot hang the caller.
#
# Environment: WINEPREFIX, WINE (the Wine loader), PELORIN_TEST_TIMEOUT
# (seconds, default 300); GTEST_* variables reach the tests unchanged.
set -u

root=$(cd "$(dirname "$0")/.." && pwd)
exes="$root/build/mingw/pelorin_platform_tests.exe $root/build/mingw/pelorin_textio_tests.exe
$root/build/mingw/pelorin_typetest_tests.exe $root/build/mingw/pelorin_app_tests.exe
$root/build/mingw/pelorin_results_tests.exe"
limit=${PELORIN_TEST_TIMEOUT:-300}

fail() {
    echo "wine-test: $*" >&2
    exit 2
}

for exe in $exes; do
    [ -f "$exe" ] || fail "$exe not found: build it with the mingw preset first"
done

wine=${WINE:-}
if [ -z "$wine" ]; then
    for candidate in /usr/lib/wine/wine64 wine64 wine; do
        if command -v "$candidate" >/dev/null 2>&1; then
            wine=$(command -v "$candidate")
            break
        fi
    done
fi
[ -n "$wine" ] || fail "no Wine loader found (install the wine64 package)"

export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}"
export WINEDEBUG=-all
# No Mono or Gecko installers on prefix creation; no windows even when a
# display is around, so every machine runs the tests the same way.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
# The console tests fail instead of skipping when the console is missing.
export PELORIN_REQUIRE_CONSOLE=1

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine-test: creating the Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    timeout -k 10 300 "$wine" wineboot --init </dev/null >/dev/null 2>&1 ||
        fail "wineboot could not create the prefix"
fi

# script(1) (util-linux, part of every Debian) runs the command on a fresh
# pseudo-terminal; only its standard input stays there, which is what makes
# Wine open a console for it. script -e passes the exit code through.
# - Its own standard input is a FIFO opened for reading and writing: it never
#   delivers a byte nor an end of file, so no stray key (an end of file becomes
#   ^D) reaches the console the tests fill with key events of their own.
# - The inner timeout stays in the terminal's foreground process group: in a
#   background group Wine's console is stopped (SIGTTOU) when it sets up the
#   terminal, and the tests hang.
run_one() {
    exe=$1
    log="${exe%.exe}.wine.log"
    rm -f "$log"
    export PELORIN_WINE="$wine" PELORIN_EXE="$exe" PELORIN_LOG="$log" PELORIN_LIMIT="$limit"
    if command -v script >/dev/null 2>&1; then
        fifo="$root/build/mingw/wine-test.stdin"
        rm -f "$fifo"
        mkfifo "$fifo" || fail "cannot make $fifo"
        timeout -k 10 $((limit + 30)) script -qec \
            'timeout --foreground -k 10 "$PELORIN_LIMIT" "$PELORIN_WINE" "$PELORIN_EXE" >"$PELORIN_LOG" 2>&1' \
            /dev/null 0<>"$fifo" >/dev/null 2>&1
        rc=$?
        rm -f "$fifo"
    else
        echo "wine-test: script(1) not found; the console tests will fail" >&2
        timeout -k 10 "$limit" "$wine" "$exe" </dev/null >"$log" 2>&1
        rc=$?
    fi

    [ -f "$log" ] && tr -d '\r' <"$log"
    case $rc in
        124 | 137) echo "wine-test: timed out after $limit s" >&2 ;;
    esac
    return $rc
}

status=0
for exe in $exes; do
    run_one "$exe" || { rc=$?; [ $status -ne 0 ] || status=$rc; }
done
exit $status
