#!/usr/bin/env bash
# glTF output as engines and viewers take it: every file the Khronos glTF-Validator
# passes without errors or warnings, assimp reads with the expected counts, instanced
# files gltf-transform and three.js read with every blade, and a round trip through glTF
# keeps what it should.
#   check.sh TUFTSPROUT VALIDATOR_MODULE [NODE_MODULES]
# NODE_MODULES holds three and @gltf-transform; by default the validator's folder.
set -uo pipefail
tuftsprout=$1
validator=$2
modules=${3:-$(dirname "$validator")}
here=$(cd "$(dirname "$0")" && pwd)
fixtures=$(cd "$here/../fixtures" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failed=0
fail() { echo "FAIL: $*" >&2; failed=$((failed + 1)); }
[ -d "$validator" ] || { echo "FAIL: no gltf-validator at $validator (./build.sh test installs it)" >&2; exit 1; }
[ -d "$modules/three" ] && [ -d "$modules/@gltf-transform/extensions" ] ||
    { echo "FAIL: no three or @gltf-transform in $modules (./build.sh test installs them)" >&2; exit 1; }
cp "$fixtures/terrain.obj" "$fixtures/terrain.mtl" "$fixtures/hill.ply" .

# A run that fails is told with its exit status and everything it printed.
plant() {
    "$tuftsprout" plant "$@" 2>run.txt
    local status=$?
    [ "$status" = 0 ] || fail "plant $*: exit status $status: $(cat run.txt)"
}
plant -o ground.glb --number 50 --clock 1
plant -o ground-uv.glb --number 50 --clock 1 --set Add_UV=on --set S_NAME=Grass
plant -o ground-uv.gltf --number 50 --clock 1 --set Add_UV=on --division 8
plant terrain.obj -o point.glb --mode point --select points:all --set Add_UV=on --clock 2
plant terrain.obj -o polygon.gltf --mode polygon --select polygons:all --set Add_UV=on --clock 3 --normals
plant terrain.obj -o polygon-normals.glb --mode polygon --select polygons:group:Rock --clock 3
plant -o empty.glb --number 0 --allow-empty
# One and two blades, where any vertex may be the one that bounds the file; scattered
# blades over a hill; a file turned to Z up.
plant -o one.glb --number 1 --clock 1
plant -o two.gltf --number 2 --clock 4 --set Add_UV=on
plant hill.ply -o scattered.glb --scatter 300 --spacing 0.05 --normals --clock 4
plant -o one-z-up.glb --number 1 --clock 5 --up z
# A user's model with named nodes, materials and a base-colour texture (embedded, beside
# the file, or a data: URI), planted on and written again, in the folder and below it.
python3 "$here/model.py" model.glb && python3 "$here/model.py" model.gltf &&
    python3 "$here/model.py" --data-uri model-data.gltf || fail "model.py cannot write the models"
mkdir below
plant model.glb -o model-back.gltf --mode polygon --select polygons:0 --clock 6
plant model.gltf -o model-back.glb --mode polygon --select polygons:0 --clock 6
plant model-data.gltf -o model-data-back.glb --mode polygon --select polygons:0 --clock 6
plant model-data.gltf -o model-data-back.gltf --mode polygon --select polygons:0 --clock 6
plant model.gltf -o below/model-below.gltf --mode polygon --select polygons:0 --clock 6
# Blades as instances, turned about Y alone (Ground mode) and about all three axes
# (Polygon mode, beside the terrain), in both kinds of file.
plant -o instances.glb --number 50 --clock 1 --set Add_UV=on --instances
plant -o instances.gltf --number 50 --clock 1 --instances
plant terrain.obj -o instances-polygon.glb --mode polygon --select polygons:all --clock 3 --normals --instances
# A node for each cell of the ground; and a .gltf whose data is spread over several .bin
# files, as 10^8 blades need (here with a far lower bound on a .bin's bytes).
plant -o instances-cells.glb --number 200 --field 20 --clock 2 --instances --cell 5
TUFT_GLTF_BIN_BYTES=3000 plant -o instances-split.gltf --number 200 --field 20 --clock 2 --instances --cell 5 \
    --set Add_UV=on
[ -f instances-split-2.bin ] || fail "instances-split.gltf has its data in one .bin file"
# Blades coloured one by one: COLOR_0 per vertex, or _COLOR_0 per placement.
plant terrain.obj -o coloured.glb --number 50 --clock 1 --colour '#2e5a1c,#b5a642' --set Add_UV=on
plant terrain.obj -o coloured-instances.glb --number 50 --clock 1 --colour '#2e5a1c,#b5a642' --instances
plant -o coloured-cells.gltf --number 200 --field 20 --clock 2 --colour '#2e5a1c,#b5a642' --colour-jitter 0.4 \
    --instances --cell 5
node "$here/validate.js" "$validator" ./*.glb ./*.gltf below/*.gltf || fail "the validator found errors or warnings"
# The validator lets a bound pass that it cannot see is wrong: every bound against the data.
python3 "$here/bounds.py" ./*.glb ./*.gltf || fail "a file's bounds are not its data's"
node "$here/instances.mjs" "$modules" instances.glb 50 instances.gltf 50 instances-polygon.glb 6 \
    instances-cells.glb 200 instances-split.gltf 200 coloured-instances.glb 50:coloured coloured-cells.gltf 200:coloured ||
    fail "gltf-transform or three.js does not find every blade of an instanced file"

# assimp: meshes, vertices and faces as written (fans of a blade: 9 triangles at
# Division 5, 15 at 8; the terrain's 6 quads: 12).
expect() {
    local file=$1 meshes=$2 faces=$3 info
    info=$(assimp info "$file" 2>&1)
    grep -qE "Meshes: +$meshes\$" <<<"$info" || fail "$file: assimp does not find $meshes meshes: $info"
    grep -qE "Faces: +$faces\$" <<<"$info" || fail "$file: assimp does not find $faces faces: $info"
}
expect ground.glb 1 450
expect ground-uv.gltf 1 750
expect point.glb 3 $((12 + 12 * 9))
expect polygon.gltf 3 $((12 + 6 * 9))

# A round trip: glTF read back and written as OBJ keeps positions (to float precision),
# UVs and surfaces.
plant point.glb -o back.obj --mode point --allow-empty
plant terrain.obj -o direct.obj --mode point --select points:all --set Add_UV=on --clock 2
compare() {
    awk -v field="$1" '$1 == field { for (i = 2; i <= NF; i++) printf "%.6g ", $i; print "" }' "$2"
}
# glTF has a vertex per point and surface: compare the points there are.
[ "$(compare v back.obj | sort -u)" = "$(compare v direct.obj | sort -u)" ] || fail "positions differ after a glTF round trip"
[ "$(compare vt back.obj | sort -u)" = "$(compare vt direct.obj | sort -u)" ] || fail "UVs differ after a glTF round trip"
[ "$(grep -c '^usemtl' back.obj)" -ge 3 ] || fail "surfaces lost in a glTF round trip"
for surface in Grass Rock Grass_2; do # the blades, numbered past the terrain's own Grass
    grep -q "^usemtl $surface\$" back.obj || fail "the surface $surface is lost in a glTF round trip"
done
grep -q '"generator":"tuftsprout [0-9]' ground.gltf 2>/dev/null || grep -q '"generator":"tuftsprout [0-9]' ground-uv.gltf ||
    fail "asset.generator does not name the program and its version"
grep -q '"clock":"1"' ground-uv.gltf || fail "the file does not say which clock planted it"

echo "gltf: $((failed == 0 ? 1 : 0)) passed, $((failed > 0 ? 1 : 0)) failed"
[ "$failed" = 0 ]
