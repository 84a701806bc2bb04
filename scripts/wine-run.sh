#!/usr/bin/env bash
# Runs a 64-bit Windows program under wine64: scripts/wine-run.sh PROGRAM [ARGS...]
# Output and exit code pass through. The prefix is $WINEPREFIX, else
# build/wine below the repository; it is created on first use.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
export WINELOADER=/usr/lib/wine/wine64
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="${WINEPREFIX:-$repo/build/wine}"
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  "$WINELOADER" wineboot -i >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver -w
fi
exec "$WINELOADER" "$@"
