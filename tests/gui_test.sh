#!/usr/bin/env bash
# The window front end under Xvfb, driven by injected mouse and key events: the panel,
# the viewport, Run again, Undo, Save and closing.
set -euo pipefail
tuftsprout=$(realpath "$1")
work=$(mktemp -d)
cleanup() {
    [ -n "${app:-}" ] && kill "$app" 2>/dev/null || true
    [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
    [ -n "${KEEP:-}" ] && cp -r "$work" "$KEEP"; rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
stage="starting"
fail() {
    echo "FAIL ($stage): $*" >&2
    [ -s app.log ] && sed 's/^/  app: /' app.log >&2
    exit 1
}

# The server picks a free display and tells its number once it listens; it must not
# reset when a client leaves, or the next one can find it gone for a moment.
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp -noreset 3>display.txt 2>xvfb.log &
xvfb=$!
for _ in $(seq 300); do [ -s display.txt ] && break; sleep 0.1; done
[ -s display.txt ] || fail "Xvfb did not start: $(cat xvfb.log)"
export DISPLAY=":$(head -1 display.txt)"
for _ in $(seq 300); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

# The id of the visible window with this title, waiting for it.
window() { timeout 120 xdotool search --sync --onlyvisible --name "^$1\$" | head -1; }
# Clicks at a point of a window's client area.
click() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove $((X + $2)) $((Y + $3)) click 1
    sleep 0.5
}
# Presses a key in a window: the pointer over it, then the key (XTEST, no window manager).
press() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) sleep 0.2 key "$2"
    sleep 0.5
}
# Presses a key that closes a window, and waits until it is gone: a busy program may read
# several events at once, and one meant for the window below would reach the closing one.
dismiss() {
    press "$1" "$2"
    for _ in $(seq 1200); do
        xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable' || return 0
        sleep 0.1
    done
    fail "the window did not close after $2"
}
# A region of a window (WIDTHxHEIGHT+X+Y in its client area) as a PNG, once drawing has
# settled: two shots in a row alike.
shot() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    local size=${2%%+*} offset=${2#*+}
    local crop="$size+$((X + ${offset%%+*}))+$((Y + ${offset#*+}))"
    import -window root -crop "$crop" "$3"
    for _ in $(seq 240); do
        sleep 0.25
        import -window root -crop "$crop" settle.png
        [ "$(compare -metric AE "$3" settle.png null: 2>&1 || true)" = 0 ] && return 0
        mv settle.png "$3"
    done
    fail "the window did not settle for $3"
}
# How many pixels of two pictures differ.
differ() { compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1 || true; }
# A shot as above, taken once the region differs from BEFORE in more than MIN pixels
# (a change that a click asked for may be drawn a while later on a busy machine).
shot_changed() { # WINDOW REGION FILE BEFORE MIN
    for _ in $(seq 240); do
        shot "$1" "$2" "$3"
        [ "$(differ "$4" "$3")" -gt "$5" ] 2>/dev/null && return 0
        sleep 0.25
    done
    fail "$3 never differed from $4 in more than $5 pixels"
}
# Waits until the main window's title says TEXT: the window says what it shows once the
# frame that shows it is on the screen, so a shot after this one shows that change.
title_is() {
    local title
    for _ in $(seq 600); do
        title=$(xdotool getwindowname "$MAIN")
        [ "$title" = "tuftsprout: $1" ] && return 0
        sleep 0.1
    done
    fail "the window's title never said '$1' (it says '$title')"
}
start() {
    "$tuftsprout" gui "$@" 2>app.log &
    app=$!
    MAIN=$(window 'tuftsprout(: .*)?') || fail "no main window"
    PANEL=$(window ZEL_Tuftsprout) || fail "no panel"
    sleep 0.5
}
finish() {
    timeout 120 tail --pid="$app" -f /dev/null || fail "the program did not end"
    set +e
    wait "$app"
    status=$?
    set -e
    app=
}
running() { kill -0 "$app" 2>/dev/null; }
vertices() { grep -c '^v ' "$1"; }
faces() { grep -c '^f ' "$1"; }

# The viewport as the main window now is (it narrows to make room for the panel beside it).
viewport() {
    eval "$(xdotool getwindowgeometry --shell "$MAIN")"
    echo "${WIDTH}x$((HEIGHT - 72))+0+0"
}
# The main window's buttons, in the bar below the viewport.
run_again() { click "$MAIN" 58 660; PANEL=$(window ZEL_Tuftsprout) || fail "Run again opened no panel"; sleep 0.5; }
undo() { click "$MAIN" 166 660; }
save() { click "$MAIN" 274 660; }
# Picks from "Plant on" by moving KEYS from the item it shows (Up, Down), then Return.
pick() {
    click "$MAIN" 519 660
    local key
    for key in "$@"; do xdotool key "$key"; sleep 0.3; done
    xdotool key Return
}
# The same, when the pick opens the panel at once.
plant_on() {
    pick "$@"
    PANEL=$(window ZEL_Tuftsprout) || fail "picking what to plant on opened no panel"
    sleep 0.5
}

printf 'v 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 3 2\n' > tri.obj

# 1. The panel: initial values, a slider moved by the mouse, OK; closing unsaved asks.
stage="the panel"
start tri.obj -o out.obj --panel-report panel.txt --mode ground
for _ in $(seq 600); do [ -s panel.txt ] && break; sleep 0.1; done # written as the panel opens
grep -q '^#3 "Number" NumControl value=100 normal$' panel.txt || fail "Number does not open at 100"
grep -q '^#4 "Division" MiniSliderControl value=5 normal$' panel.txt || fail "Division does not open at 5"
grep -q '^#8 "(WeightMap)" BoolControl value=0 ghosted$' panel.txt || fail "(WeightMap) is not ghosted"
grep -q '^#18 "U_NAME" EditControl value="UV_Name" ghosted$' panel.txt || fail "U_NAME does not open ghosted"
grep -q '^#11 "P1(x)" PercentControl value=15.5' panel.txt || fail "P1(x) does not open at 15.5"
shot "$PANEL" 500x250+10+10 before.png
# The P1(x) slider: its track ends at x 229 on the row at y 432 (window coordinates).
click "$PANEL" 226 442
shot_changed "$PANEL" 500x250+10+10 after.png before.png 100
dismiss "$PANEL" Return
[ ! -e out.obj ] || fail "OK wrote the file before Save"
press "$MAIN" Escape
box=$(window "Unsaved grass") || fail "closing with unsaved grass did not ask"
dismiss "$box" Escape # Cancel: the window stays
running || fail "Cancel in the question closed the program"
press "$MAIN" Escape
box=$(window "Unsaved grass") || fail "closing again did not ask"
dismiss "$box" Return # Save
finish
[ "$status" = 0 ] || fail "saving on close exited $status"
[ "$(vertices out.obj)" = 1103 ] || fail "expected the triangle and 100 blades in out.obj"

# 2. Point without a point selection: the info box, and the mode back to Ground.
stage="Point without a point selection"
start tri.obj -o refused.obj --select polygons:all
click "$PANEL" 125 273
box=$(window Info) || fail "no info box"
dismiss "$box" Return
dismiss "$PANEL" Return
save
press "$MAIN" Escape
finish
[ "$status" = 0 ] || fail "closing after Save exited $status"
[ "$(vertices refused.obj)" = 1103 ] || fail "the mode did not return to Ground"

# 3. The viewport: the input, grass added (each blade red or blue), Undo, Run again with
#    another Number, Save.
stage="the viewport"
printf 'v -1 0 -1\nv 2 0 -1\nv 2 0 2\nv -1 0 2\nf 1 4 3 2\n' > pad.obj
start pad.obj -o lawn.obj --clock 1000 --mode ground --colour '#ff0000,#0000ff' --colour-jitter 1
dismiss "$PANEL" Escape # Cancel: the pad alone
title_is "4 points, 1 polygons"
view=$(viewport)
shot "$MAIN" "$view" input.png
convert -size "${view%%+*}" "xc:$(convert input.png -format '%[pixel:p{0,0}]' info:)" sky.png
[ "$(differ input.png sky.png)" -gt 60000 ] || fail "the viewport does not show the pad"
run_again
dismiss "$PANEL" Return
title_is "1104 points, 501 polygons (not saved)"
shot "$MAIN" "$view" planted.png
[ "$(differ input.png planted.png)" -gt 2000 ] || fail "OK added no grass to the viewport"
# Pixels far more red than blue and green, and far more blue than red and green.
hues=$(convert planted.png -fx 'r > g + 0.25 && r > b + 0.25 ? 1 : (b > r + 0.25 && b > g + 0.25 ? 0.5 : 0)' \
    -format %c histogram:info:- | awk '/gray\(255\)|#FFFFFF/ { red = $1 } /gray\(12[78]\)|#80808|#7F7F7/ { blue = $1 }
    END { print red + 0, blue + 0 }' | tr -d :)
[ "${hues% *}" -gt 200 ] && [ "${hues#* }" -gt 200 ] || fail "the viewport does not show red and blue blades: $hues"
undo
title_is "4 points, 1 polygons (not saved)"
shot "$MAIN" "$view" undone.png
[ "$(differ input.png undone.png)" = 0 ] || fail "Undo did not bring the first picture back"
run_again
click "$PANEL" 179 297 # the Number field
xdotool key ctrl+a type 400
sleep 0.3
dismiss "$PANEL" Return
title_is "4404 points, 2001 polygons (not saved)"
shot "$MAIN" "$view" more.png
[ "$(differ planted.png more.png)" -gt 2000 ] || fail "Run again with 400 blades drew the same picture"
save
title_is "4404 points, 2001 polygons"
[ -s lawn.obj ] || fail "Save wrote nothing"
[ "$(vertices lawn.obj)" = $((4 + 400 * 11)) ] || fail "lawn.obj: $(vertices lawn.obj) points, not the pad and 400 blades"
[ "$(faces lawn.obj)" = $((1 + 400 * 5)) ] || fail "lawn.obj: $(faces lawn.obj) polygons, not the pad and 400 blades"
[ "$(awk '/^v / && NF == 7 && $5 != $7' lawn.obj | wc -l)" = $((400 * 11)) ] ||
    fail "lawn.obj does not colour each of its blades' points red or blue"
press "$MAIN" Escape # saved: closes without asking
finish
[ "$status" = 0 ] || fail "closing the saved window exited $status"

# 4. Given a mesh and nothing chosen: Polygon mode on every polygon, the panel beside the
#    viewport; then "Plant on" every point.
stage="what to plant on"
start pad.obj -o picked.obj --clock 1000 --panel-report picked.txt
for _ in $(seq 600); do [ -s picked.txt ] && break; sleep 0.1; done
grep -q '"Mode" ChoiceControl value=2 ' picked.txt || fail "the panel did not open in Polygon mode: $(grep Mode picked.txt)"
eval "$(xdotool getwindowgeometry --shell "$MAIN")"
main_right=$((X + WIDTH))
eval "$(xdotool getwindowgeometry --shell "$PANEL")"
[ "$X" -ge "$main_right" ] || fail "the panel (from x $X) covers the viewport (to x $main_right)"
dismiss "$PANEL" Return
title_is "15 points, 6 polygons (not saved)" # the pad and a blade on it
rm picked.txt
plant_on Down # every point
for _ in $(seq 600); do [ -s picked.txt ] && break; sleep 0.1; done
grep -q '"Mode" ChoiceControl value=1 ' picked.txt || fail "every point did not open Point mode: $(grep Mode picked.txt)"
dismiss "$PANEL" Return
title_is "180 points, 81 polygons (not saved)" # one on each of the 15 points, the blade's too
save
title_is "180 points, 81 polygons"
press "$MAIN" Escape
finish
[ "$status" = 0 ] && [ "$(vertices picked.obj)" = 180 ] || fail "picked.obj: exit $status, $(vertices picked.obj) points"

# Points scattered by density, asked for in a box: 2 a unit of area over the 3 x 3 pad,
# planted in Point mode and taken out again.
start pad.obj -o scattered.obj --clock 1000
dismiss "$PANEL" Escape
pick Down Down Down # from every polygon to the scatter
box=$(window Scatter) || fail "the scatter asked for no density"
press "$box" ctrl+a
xdotool type 2
dismiss "$box" Return
PANEL=$(window ZEL_Tuftsprout) || fail "the scatter opened no panel"
sleep 0.5
dismiss "$PANEL" Return
title_is "202 points, 91 polygons (not saved)" # 18 blades, and none of the scattered points
save
title_is "202 points, 91 polygons"
press "$MAIN" Escape
finish
[ "$status" = 0 ] || fail "closing after the scatter exited $status"

# 5. Nothing planted: closing neither asks nor writes.
stage="nothing planted"
start -o cancelled.obj
dismiss "$PANEL" Escape
press "$MAIN" Escape
finish
[ "$status" = 0 ] && [ ! -e cancelled.obj ] || fail "a cancelled session wrote a file or failed ($status)"

# 6. Without a display: a clear error.
stage="without a display"
set +e
DISPLAY= "$tuftsprout" gui -o x.obj 2>err.txt
status=$?
set -e
[ "$status" = 1 ] && grep -q "no display" err.txt || fail "no clear error without a display: $(cat err.txt)"
echo "gui: 1 passed, 0 failed"
