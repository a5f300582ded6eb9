#!/bin/sh
# Runs a Windows program under Wine with the project's prefix (build/wineprefix,
# created on first use), without Wine's own diagnostics on standard error.
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wine=${WINE:-/usr/lib/wine/wine64}
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    timeout 120 "$wine" wineboot --init >/dev/null 2>&1 </dev/null
    timeout 60 "${wine%64}server" -w 2>/dev/null || true
fi
# The Wine server outlives each program by a few seconds; started here, away
# from the caller's pipes, it does not keep them open after the program ends.
"${wine%64}server" -p30 </dev/null >/dev/null 2>&1
exec "$wine" "$@"
