#!/bin/sh
# Makes sure the Debian packages a build needs are installed; installs the
# missing ones with apt-get when run as root. Profiles: base (build, tests),
# fuzz, windows, bench.
set -eu

need=""
want() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed' || need="$need $1"; }

for profile in "${@:-base}"; do
    case "$profile" in
        base) for p in build-essential cmake libgtest-dev python3 tmux util-linux groff-base man-db dpkg-dev strace; do want "$p"; done ;;
        fuzz) for p in clang libclang-rt-dev; do want "$p"; done ;;
        windows) for p in g++-mingw-w64-x86-64 wine64 tmux; do want "$p"; done ;;
        bench) for p in libbenchmark-dev libreadline-dev libedit-dev strace; do want "$p"; done ;;
        *) echo "ensure-deps: unknown profile $profile" >&2; exit 2 ;;
    esac
done

[ -z "$need" ] && exit 0
if ! command -v dpkg-query >/dev/null 2>&1 || ! command -v apt-get >/dev/null 2>&1; then
    echo "ensure-deps: install these packages first:$need" >&2
    exit 1
fi
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
        exec sudo env DEBIAN_FRONTEND=noninteractive sh "$0" "$@"
    fi
    echo "ensure-deps: as root, run: apt-get install$need" >&2
    exit 1
fi
echo "ensure-deps: installing$need"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# shellcheck disable=SC2086
apt-get install -y -qq $need >/dev/null
