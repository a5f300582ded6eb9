#!/bin/sh
# The house rules of .clang-tidy over every source file the release
# configuration compiles (the programs, their tests and tools): any finding
# fails. Usage: tools/tidy.sh BUILD_DIR JOBS
set -u
build=${1:-build/release}
jobs=${2:-2}
log="$build/tidy.log"
run-clang-tidy -p "$build" -quiet -j "$jobs" >"$log" 2>&1
status=$?
found=$(sed 's/\x1b\[[0-9;]*m//g' "$log" | grep -E '(warning|error):' | sort -u)
if [ "$status" -ne 0 ] || [ -n "$found" ]; then
    echo "${found:-clang-tidy failed; see $log}"
    exit 1
fi
echo "tidy: clean ($(grep -c '^clang-tidy' "$log") files)"
