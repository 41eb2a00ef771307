#!/usr/bin/env bash
# Runs the benchmarks and prints one table: ./bench/run.sh [build directory]
# (build first: cmake --preset release && cmake --build --preset release)
set -euo pipefail
build=${1:-build/release}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "| benchmark | time | per item |"
echo "|---|---|---|"
"$build/bench/tuft_bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
    --benchmark_format=csv 2>/dev/null |
    awk -F, '/_median"/ {
        name = $1; gsub(/"|_median|\/iterations:[0-9]+/, "", name)
        unit = $5; gsub(/"/, "", unit)
        nanoseconds = $3 * (unit == "s" ? 1e9 : unit == "ms" ? 1e6 : unit == "us" ? 1e3 : 1)
        # Per blade, point, polygon or MiB: the argument counts them; a paste is one item.
        count = name ~ /^pasteIntoFilledLayer/ ? 1 : substr(name, index(name, "/") + 1) + 0
        label = $8; gsub(/"/, "", label) # what a benchmark measures beside time
        printf "| %s | %.4g %s | %.0f ns%s |\n", name, $3, unit, nanoseconds / count, label == "" ? "" : ", " label
    }'
# A command of the whole program, three runs: the median time and the largest peak memory.
time_three() {
    local label=$1 cleanup=$2
    shift 2
    local runs=() peak=0 seconds kilobytes
    for run in 1 2 3; do
        /usr/bin/time -f "%e %M" -o "$work/time" "$@" 2>/dev/null
        read -r seconds kilobytes < "$work/time"
        runs+=("$seconds")
        peak=$((kilobytes > peak ? kilobytes : peak))
        [ -z "$cleanup" ] || rm -f "$cleanup"
    done
    local median
    median=$(printf '%s\n' "${runs[@]}" | sort -n | sed -n 2p)
    echo "| $label | $median s (runs: ${runs[*]}), peak $((peak / 1024)) MiB | |"
}
for format in ply obj glb; do
    time_three "whole program, 10^6 blades with UVs, .$format" "$work/grass.$format" \
        "$build/bin/tuftsprout" plant --number 1000000 --set Add_UV=on --clock 0 -o "$work/grass.$format"
done
time_three "whole program, 10^6 blades with UVs, .glb --instances" "$work/grass.glb" \
    "$build/bin/tuftsprout" plant --number 1000000 --set Add_UV=on --clock 0 --instances -o "$work/grass.glb"
time_three "whole program, 10^6 blades over a field of side 100, .glb --instances --cell 10" "$work/grass.glb" \
    "$build/bin/tuftsprout" plant --number 1000000 --field 100 --clock 0 --instances --cell 10 -o "$work/grass.glb"
printf 'v -30 0 -30\nv 30 0 -30\nv 30 0 30\nv -30 0 30\nf 1 4 3 2\n' > "$work/ground.obj"
time_three "whole program, 10^6 blades scattered in 2000 clumps of radius 0.5 over 60 x 60, .glb --instances" \
    "$work/grass.glb" "$build/bin/tuftsprout" plant "$work/ground.obj" --scatter 1000000 --clump 2000,0.5 --clock 0 \
    --instances -o "$work/grass.glb"
time_three "whole program, the same 10^6 clumped blades coloured (--colour, --colour-jitter 0.3), .glb --instances" \
    "$work/grass.glb" "$build/bin/tuftsprout" plant "$work/ground.obj" --scatter 1000000 --clump 2000,0.5 --clock 0 \
    --colour '#2e5a1c,#b5a642' --colour-jitter 0.3 --instances -o "$work/grass.glb"
time_three "whole program, 10^6 blades, .csv" "$work/grass.csv" \
    "$build/bin/tuftsprout" plant --number 1000000 --clock 0 -o "$work/grass.csv"
time_three "whole program, 10^8 blades, .gltf --instances (4.4 GB in 3 .bin files)" "" \
    "$build/bin/tuftsprout" plant --number 100000000 --clock 0 --instances -o "$work/grass.gltf"
rm -f "$work"/grass*.bin "$work/grass.gltf"
# Pictures: the cost follows the area the blades cover on the picture, many times over
# where they stand thick.
for field in 30 1; do
    "$build/bin/tuftsprout" plant --number 1000000 --field $field --clock 0 -o "$work/lawn.glb" 2>/dev/null
    time_three "tuftsprout view, 10^6 blades over a field of side $field (.glb read, 1200x800 picture)" "" \
        "$build/bin/tuftsprout" view "$work/lawn.glb" -o "$work/lawn.png"
done
