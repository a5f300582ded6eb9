#!/bin/sh
# Runs every fuzz target in DIR for SECONDS each, each with its own corpus.
set -eu
dir=$1
seconds=${2:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for target in "$dir"/*_fuzz; do
    name=$(basename "$target")
    mkdir -p "$work/$name"
    echo "fuzz: $name for ${seconds}s"
    if ! "$target" -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=0 "$work/$name" >"$work/$name.log" 2>&1; then
        tail -n 40 "$work/$name.log"
        status=1
    else
        grep -E '^Done' "$work/$name.log" || true
    fi
done
exit $status
