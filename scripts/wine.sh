#!/usr/bin/env bash
# Runs a Windows program under Wine, in a prefix of the project's own for its width
# (made on first use), without Wine's debugging chatter. CMake's cross-compiling
# emulator for the mingw presets:  scripts/wine.sh win32|win64 PROGRAM.exe [ARGUMENTS...]
#
# Each width goes straight to its own loader: /usr/bin/wine always starts the 32-bit one
# first, which fails on a kernel that cannot run i386 programs, even for a 64-bit program.
set -euo pipefail
arch=$1
shift
case $arch in
    win32) loader=/usr/lib/wine/wine ;;
    win64) loader=/usr/lib/wine/wine64 ;;
    *) echo "wine.sh: the width is win32 or win64, not '$arch'" >&2; exit 2 ;;
esac
[ -x "$loader" ] || loader=$(command -v wine) # another distribution's layout
export WINEARCH=$arch WINEDEBUG=-all WINELOADER=$loader
export WINEPREFIX=${TUFT_WINEPREFIX:-$HOME/.wine-tuftsprout-$arch}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    # Two first uses at once would both make it: the first makes it, the other waits.
    exec 9> "$WINEPREFIX.lock"
    flock 9
    [ -f "$WINEPREFIX/system.reg" ] || { "$loader" wineboot --init > /dev/null 2>&1 && wineserver --wait; }
    exec 9>&-
fi
# One server for the prefix that outlives each program by half a minute: programs started
# one after another (a test script's) then never meet a server that is shutting down.
# When one is running already this does nothing.
wineserver -p30 2>/dev/null || true
exec "$loader" "$@"
