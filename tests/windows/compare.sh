#!/usr/bin/env bash
# The Windows build against the Linux build: the same pinned-clock runs through both,
# every file compared byte for byte.
#   compare.sh LINUX_PROGRAM WINDOWS_PROGRAM
# Prints the byte-identical cases, the largest difference of any other, and a line
# "windows-vs-linux: N passed, M failed".
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
fixtures=$here/../fixtures
linux=$1
windows=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The golden runs (Ground turned, Point with weights, Polygon on a sphere, presets, PLY
# and OBJ), larger ones where a last bit has more chances to differ, and instances (by
# cells, over several .bin files, as a table), blades coloured, and variants.
more_runs() {
    local program=$1 out=$2
    (
        cd "$out"
        cp "$fixtures"/hill.ply "$fixtures"/terrain.obj "$fixtures"/terrain.mtl .
        $program plant -o turned.ply --number 20000 --rotation 360 --roughness 50 --clock 3
        $program plant sphere.obj -o tilted.ply --mode polygon --select polygons:all --rotation 360 --clock 7
        $program plant hill.ply -o scattered.glb --scatter 5000 --normals --clock 4
        $program plant terrain.obj -o terrain.gltf --set Add_UV=on --number 300 --clock 5 --up z
        $program plant hill.ply -o hill-turned.ply --mode polygon --select polygons:all --ascii --clock 6 --rotation 180
        $program plant terrain.obj -o instanced.glb --mode polygon --select polygons:all --rotation 360 --instances \
            --cell 0.5 --clock 8
        $program plant -o blades.csv --number 3000 --rotation 360 --roughness 50 --up z --clock 9
        TUFT_GLTF_BIN_BYTES=20000 $program plant -o split.gltf --number 2000 --field 10 --instances --cell 2 --clock 10
        $program plant hill.ply -o coloured.ply --scatter 3000 --clump 40,0.3 --colour '#2e5a1c,#b5a642' \
            --colour-jitter 0.3 --clock 11
        $program plant terrain.obj -o coloured.gltf --number 500 --colour '#2e5a1c,#b5a642' --instances --clock 12
        $program plant -o variants.obj --number 300 --variant meadow.zts:2 --variant tuft.obj --colour '#000000,#ffffff' \
            --clock 13
    ) 2>> "$out/runs.log" >> "$out/runs.log"
}

for side in linux windows; do
    program=${!side}
    "$here/../golden/runs.sh" "$program" "$fixtures" "$work/$side"
    more_runs "$program" "$work/$side"
done

inputs=" runs.log sphere.obj weights.ply meadow.zts tuft.obj hill.ply terrain.obj terrain.mtl "
passed=0 failed=0 identical=()
for file in $(cd "$work/linux" && ls); do
    [[ "$inputs" != *" $file "* ]] || continue
    if cmp -s "$work/linux/$file" "$work/windows/$file"; then
        identical+=("$file")
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "DIFFERENT $file: $(python3 "$here/largest_difference.py" "$work/linux/$file" "$work/windows/$file")"
    fi
done
echo "byte-identical: ${identical[*]}"
echo "windows-vs-linux: $passed passed, $failed failed"
[ "$failed" = 0 ]
