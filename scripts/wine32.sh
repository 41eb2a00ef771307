#!/usr/bin/env bash
# Runs a 32-bit Windows program under Wine, in a 32-bit prefix of the project's own
# (made on first use), without Wine's debugging chatter. CMake's cross-compiling
# emulator for the mingw preset:  scripts/wine32.sh PROGRAM.exe [ARGUMENTS...]
set -euo pipefail
export WINEARCH=win32 WINEDEBUG=-all
export WINEPREFIX=${TUFT_WINEPREFIX:-$HOME/.wine-tuftsprout32}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    # Two first uses at once would both make it: the first makes it, the other waits.
    exec 9> "$WINEPREFIX.lock"
    flock 9
    [ -f "$WINEPREFIX/system.reg" ] || { wineboot --init > /dev/null 2>&1 && wineserver --wait; }
    exec 9>&-
fi
exec wine "$@"
