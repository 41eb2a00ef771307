#!/usr/bin/env bash
# Makes docs/panel.png, the README's picture of the panel, from the real program under
# Xvfb: ./scripts/screenshot.sh [path to tuftsprout]
set -euo pipefail
cd "$(dirname "$0")/.."
tuftsprout=${1:-build/release/bin/tuftsprout}
display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $app $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
"$tuftsprout" gui -o /dev/null.obj --set "Add_UV=on" --set "S_NAME=Grass" --division 6 &
app=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^ZEL_Tuftsprout$' | head -1)
sleep 1
import -window "$window" docs/panel.png
echo "wrote docs/panel.png"
