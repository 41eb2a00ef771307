#!/usr/bin/env bash
# Runs a Windows program under Wine, in a prefix of the project's own for its width
# (made on first use), without Wine's debugging chatter. CMake's cross-compiling
# emulator for the mingw presets:  scripts/wine.sh win32|win64 PROGRAM.exe [ARGUMENTS...]
set -euo pipefail
arch=$1
shift
export WINEARCH=$arch WINEDEBUG=-all
export WINEPREFIX=${TUFT_WINEPREFIX:-$HOME/.wine-tuftsprout-$arch}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    # Two first uses at once would both make it: the first makes it, the other waits.
    exec 9> "$WINEPREFIX.lock"
    flock 9
    [ -f "$WINEPREFIX/system.reg" ] || { wineboot --init > /dev/null 2>&1 && wineserver --wait; }
    exec 9>&-
fi
exec wine "$@"
