#!/usr/bin/env bash
# The window panel under Xvfb, driven by injected mouse and key events.
set -euo pipefail
tuftsprout=$1
work=$(mktemp -d)
display=":$((90 + RANDOM % 100))"
cleanup() {
    [ -n "${app:-}" ] && kill "$app" 2>/dev/null || true
    [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >xvfb.log 2>&1 &
xvfb=$!
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

# Starts the panel; sets WIN, WX, WY (the window's position on the screen).
start() {
    "$tuftsprout" gui "$@" 2>app.log &
    app=$!
    WIN=$(timeout 30 xdotool search --sync --onlyvisible --name '^ZEL_Tuftsprout$' | head -1) || fail "no window"
    sleep 1
    eval "$(xdotool getwindowgeometry --shell "$WIN")"
    WX=$X WY=$Y
}
# Clicks at a point of the window's client area.
click() { xdotool mousemove $((WX + $1)) $((WY + $2)) click 1; sleep 0.3; }
# The preview (500 x 250 at 10, 10 in the window) as a PNG.
preview() { import -window root -crop 500x250+$((WX + 10))+$((WY + 10)) "$1"; }
# Presses a key in a window: the pointer over it, then the key (XTEST, no window manager).
press() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) sleep 0.2 key "$2"
    sleep 0.3
}
finish() { timeout 20 tail --pid="$app" -f /dev/null || fail "the program did not end"; wait "$app"; status=$?; app=; }

printf 'v 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 3 2\n' > tri.obj

# 1. Initial values, a slider moved by the mouse, OK.
start tri.obj -o out.obj --panel-report panel.txt
grep -q '^#3 "Number" NumControl value=100 normal$' panel.txt || fail "Number does not open at 100"
grep -q '^#4 "Division" MiniSliderControl value=5 normal$' panel.txt || fail "Division does not open at 5"
grep -q '^#8 "(WeightMap)" BoolControl value=0 ghosted$' panel.txt || fail "(WeightMap) is not ghosted"
grep -q '^#18 "U_NAME" EditControl value="UV_Name" ghosted$' panel.txt || fail "U_NAME does not open ghosted"
grep -q '^#11 "P1(x)" PercentControl value=15.5' panel.txt || fail "P1(x) does not open at 15.5"
preview before.png
# The P1(x) slider: its track ends at x 229 on the row at y 432 (window coordinates).
click 226 442
preview after.png
changed=$(compare -metric AE before.png after.png null: 2>&1 || true)
[ "${changed%% *}" -gt 100 ] 2>/dev/null || fail "moving P1(x) did not change the preview ($changed pixels)"
press "$WIN" Return
set +e; finish; set -e
[ "$status" = 0 ] || fail "OK exited $status: $(cat app.log)"
[ -s out.obj ] || fail "OK wrote no output"
[ "$(grep -c '^v ' out.obj)" = 1103 ] || fail "expected the triangle and 100 blades"

# 2. Point without a point selection: the info box, and the mode back to Ground.
start tri.obj -o refused.obj --select polygons:all
click 105 274
box=$(timeout 10 xdotool search --sync --onlyvisible --name '^Info$' | head -1) || fail "no info box"
import -window "$box" box.png
press "$box" Return
sleep 0.3
press "$WIN" Return
set +e; finish; set -e
[ "$status" = 0 ] || fail "OK after the refusal exited $status: $(cat app.log)"
[ "$(grep -c '^v ' refused.obj)" = 1103 ] || fail "the mode did not return to Ground"

# 3. Cancel writes nothing.
start -o cancelled.obj
press "$WIN" Escape
set +e; finish; set -e
[ ! -e cancelled.obj ] || fail "Cancel wrote a file"

# 4. Without a display: a clear error.
set +e
DISPLAY= "$tuftsprout" gui -o x.obj 2>err.txt; status=$?
set -e
[ "$status" = 1 ] && grep -q "no display" err.txt || fail "no clear error without a display: $(cat err.txt)"
echo "gui: 1 passed, 0 failed"
