#!/usr/bin/env bash
# A fixed set of pinned-clock runs whose outputs must not change unnoticed:
#   runs.sh PROGRAM FIXTURES OUTDIR
# PROGRAM may be a command with words (a Windows program under wine, say).
set -euo pipefail
program=$1
fixtures=$2
out=$3
mkdir -p "$out"
cd "$out"
cp "$fixtures"/sphere.obj "$fixtures"/weights.ply "$fixtures"/meadow.zts "$fixtures"/tuft.obj "$fixtures"/hill.ply \
    "$fixtures"/terrain.obj "$fixtures"/terrain.mtl .

run() { $program plant "$@" 2>>runs.log >>runs.log; }

run -o ground.obj --number 200 --clock 0
run -o ground-uv.obj --number 150 --clock 11 --set Add_UV=on --set S_NAME=Grass --roughness 30 --rotation 360
run -o ground.ply --number 120 --clock 1 --ratio-fixation --roughness 60 --rotation 90 --field 4
run -o ground-ascii.ply --ascii --number 120 --clock 2 --set Add_UV=on --division 8 --size 0.7
run -o point-weights.ply weights.ply --mode point --select points:all --set "(WeightMap)=on" --clock 5
run -o point-weights.obj weights.ply --mode point --select points:0-20 --roughness 50 --rotation 180 --clock 5
run -o polygon-sphere.obj sphere.obj --mode polygon --select polygons:all --rotation 90 --clock 7 --set Add_UV=on
run -o polygon-sphere.ply sphere.obj --mode polygon --select polygons:group:Rock --roughness 20 --clock 8
run -o preset.obj --load-preset meadow.zts --clock 9 --set Add_UV=on
run -o background.obj --bg-layer tuft.obj --number 30 --clock 10 --rotation 360 --layers all
run -o saved.obj --number 7 --division 3 --set "P3(z)=70" --save-preset saved --clock 12
run -o ground.glb --number 60 --clock 13 --set Add_UV=on --normals --rotation 360 --roughness 40
run -o ground-two.gltf --number 2 --clock 14 --division 4 --set Add_UV=on
run -o point-scattered.ply hill.ply --density 8 --spacing 0.15 --slope 28 --density-map dense --size-map tall --clock 15
run -o polygon-terrain.obj terrain.obj --mode polygon --select polygons:group:Rock --set Add_UV=on --clock 16
