#!/bin/sh
# The Windows build, checked on Linux: cross-built with MinGW, its unit tests
# run under Wine, its scripted runs compared byte for byte with the Linux
# build's, the keyboard on Wine's console in tmux, and its ZIP package.
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

echo "--- ZIP package"
(cd build/mingw && cpack -G ZIP -B packages >/dev/null)
ls build/mingw/packages/*.zip
