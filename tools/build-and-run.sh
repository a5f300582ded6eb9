#!/bin/sh
# `make run`: builds the questionnaire when it needs building, then starts
# it. A build says what it does, on standard error, one line per step (the
# first one takes a while; it must not look like a hang); a run with nothing
# to build starts at once and says nothing. Standard output is the
# program's alone, so `make run < answers > transcript` stays exact.
set -eu
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}
build=build/release

sh tools/ensure-deps.sh run

header="Building Pelorin in $build (the first build takes a minute or two)..."
said=0

# The build's steps as they come, shortened: "compiling textio/channels.cpp",
# "linking pelorin", after the header once.
steps() {
    awk -v said="$said" -v header="$header" '
        / Building [A-Z]+ object / || / Linking [A-Z]+ executable / {
            if (!said) { print header; said = 1 }
            line = $0
            sub(/^.* Building [A-Z]+ object .*\.dir\//, "  compiling ", line)
            sub(/\.o(bj)?$/, "", line)
            sub(/^.* Linking [A-Z]+ executable /, "  linking ", line)
            print line
            fflush()
        }'
}

# Runs a build command, its steps shown and everything it prints kept in a
# log; when it fails, the rest of the log is shown too.
logged() {
    mkdir -p "$build"
    log=$build/make-run.log
    status=$( { { "$@" 2>&1; echo $? >&3; } | tee "$log" | steps >&2; } 3>&1 )
    if [ "$status" -ne 0 ]; then
        grep -v -e ' Building [A-Z]* object ' -e ' Linking [A-Z]* executable ' "$log" >&2
        exit "$status"
    fi
}

if [ ! -x "$build/pelorin" ]; then
    echo "$header" >&2
    said=1
    logged cmake --preset release
fi
logged cmake --build --preset release -j"$jobs" --target pelorin
exec "./$build/pelorin"
