#!/usr/bin/env bash
# Makes the README's pictures with the program itself: ./scripts/pictures.sh [tuftsprout]
#   docs/lawn.png      a lawn planted in Ground mode
#   docs/hill.png      grass scattered by area over a hill, off its steep sides
#   docs/per-polygon.png and docs/scattered.png
#                      the same count of blades on a mesh whose polygons are small on the
#                      left: a blade per polygon, and scattered evenly by area
#   docs/model.png     grass scattered over a closed model (a torus), sized to it with
#                      --blade-height and tilted to its surface with --follow-surface
#   docs/meadow.png    grass in clumps over a lawn with a path across it, thinning out
#                      toward the lawn's edges and the path's, two blades mixed 2 : 1, in
#                      greens and dry yellows
#   docs/window.png    the window front end after OK (on every polygon, as it starts on a
#                      mesh); docs/panel.png its panel
# The windows are shot under Xvfb (xvfb, xdotool and imagemagick installed).
set -euo pipefail
cd "$(dirname "$0")/.."
tuftsprout=$(realpath "${1:-build/release/bin/tuftsprout}")
work=$(mktemp -d)
trap 'kill ${app:-} ${xvfb:-} 2>/dev/null || true; rm -rf "$work"' EXIT

# A square grid of N x N quads over [-HALF, HALF]^2 in X and Z, heights from an awk
# expression of x and z, written as OBJ with one surface.
grid() {
    local n=$1 half=$2 height=$3 warp=$4 surface=$5
    awk -v n="$n" -v half="$half" -v surface="$surface" "
        function h(x, z) { return $height }
        function w(t) { return $warp }
        BEGIN {
            for (j = 0; j <= n; ++j)
                for (i = 0; i <= n; ++i) {
                    x = (2 * w(i / n) - 1) * half; z = (2 * j / n - 1) * half
                    printf \"v %.5f %.5f %.5f\\n\", x, h(x, z), z
                }
            print \"usemtl \" surface
            for (j = 0; j < n; ++j)
                for (i = 0; i < n; ++i) {
                    a = j * (n + 1) + i + 1
                    printf \"f %d %d %d %d\\n\", a, a + n + 1, a + n + 2, a + 1
                }
        }"
}

# A torus of N x M quads (radii R and r) about Y, written as OBJ with one surface.
torus() {
    awk -v n="$1" -v m="$2" -v R="$3" -v r="$4" '
        BEGIN {
            pi = atan2(0, -1)
            for (j = 0; j < m; ++j)
                for (i = 0; i < n; ++i) {
                    u = 2 * pi * i / n; v = 2 * pi * j / m
                    printf "v %.5f %.5f %.5f\n", (R + r * cos(v)) * cos(u), r * sin(v), (R + r * cos(v)) * sin(u)
                }
            print "usemtl Clay"
            for (j = 0; j < m; ++j)
                for (i = 0; i < n; ++i) {
                    a = j * n + i + 1; b = j * n + (i + 1) % n + 1
                    c = ((j + 1) % m) * n + (i + 1) % n + 1; d = ((j + 1) % m) * n + i + 1
                    printf "f %d %d %d %d\n", a, d, c, b
                }
        }'
}

grid 64 6 "1.8 * exp(-(x*x + z*z) / 9) + 0.25 * sin(0.9 * x) * cos(0.7 * z)" "t" Hill > "$work/hill.obj"
grid 24 2 "0" "t * t" Ground > "$work/warped.obj"
torus 96 48 30 12 > "$work/torus.obj"
# A lawn with a path across it: the faces within 0.3 of the middle are "Path".
grid 40 2 "0.08 * sin(1.7 * x) * cos(1.3 * z)" "t" Lawn |
    awk '/^v / { x[++n] = $2 } /^f / { path = (x[$2] + x[$4]) / 2; path = path < 0.3 && path > -0.3
          if (path != last) print (path ? "usemtl Path" : "usemtl Lawn"); last = path; print; next }
          /^usemtl/ { last = 0 } { print }' > "$work/meadow.obj"

common=(--clock 20261208 --roughness 45 --rotation 360 --set "S_NAME=Grass")
"$tuftsprout" plant -o "$work/lawn.glb" --number 6000 --field 2 --size 0.3 "${common[@]}" \
    --picture docs/lawn.png --picture-size 1200x700 --camera 35,24
"$tuftsprout" plant "$work/hill.obj" -o "$work/hill.glb" --density 40 --spacing 0.1 --slope 28 --size 0.3 \
    "${common[@]}" --picture docs/hill.png --picture-size 1200x700 --camera 30,26
"$tuftsprout" plant "$work/warped.obj" -o "$work/per-polygon.glb" --mode polygon --select polygons:all \
    --size 0.25 "${common[@]}" --picture docs/per-polygon.png --picture-size 600x600 --camera top
"$tuftsprout" plant "$work/warped.obj" -o "$work/scattered.glb" --scatter 576 --size 0.25 "${common[@]}" \
    --picture docs/scattered.png --picture-size 600x600 --camera top
"$tuftsprout" plant "$work/torus.obj" -o "$work/model.glb" --density 1.5 --follow-surface --blade-height 6% \
    "${common[@]}" --picture docs/model.png --picture-size 1200x700 --camera 30,35
# Two blades, short and fine and tall and coarse, saved as presets and mixed 2 : 1.
"$tuftsprout" plant --save-preset "$work/short" --size 0.12 --division 6 --cancel >/dev/null
"$tuftsprout" plant --save-preset "$work/tall" --size 0.24 --division 3 --cancel >/dev/null
"$tuftsprout" plant "$work/meadow.obj" -o "$work/meadow.glb" --select polygons:group:Lawn --density 500 \
    --clump 160,0.12 --edge-falloff 0.4 --variant "$work/short.zts:2" --variant "$work/tall.zts" \
    --colour '#3f7a24,#b8a24c' --colour-scale 0.5 --colour-jitter 0.2 "${common[@]}" --picture docs/meadow.png \
    --picture-size 1200x700 --camera 30,40 >/dev/null

Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 300); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$work/display")"
for _ in $(seq 300); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
(cd "$work" && exec "$tuftsprout" gui hill.obj -o window.obj --division 6 --size 0.3 "${common[@]}") &
app=$!
main=$(timeout 30 xdotool search --sync --onlyvisible --name '^tuftsprout(: .*)?$' | head -1)
panel=$(timeout 30 xdotool search --sync --onlyvisible --name '^ZEL_Tuftsprout$' | head -1)
sleep 1
import -window "$panel" docs/panel.png
eval "$(xdotool getwindowgeometry --shell "$panel")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) sleep 0.2 key Return
# The title says "(not saved)" once the planted grass is on the screen.
for _ in $(seq 600); do [[ "$(xdotool getwindowname "$main")" == *"(not saved)" ]] && break; sleep 0.1; done
import -window "$main" docs/window.png
echo "wrote docs/lawn.png, docs/hill.png, docs/per-polygon.png, docs/scattered.png, docs/model.png,"\
     "docs/meadow.png, docs/panel.png, docs/window.png"
