#!/usr/bin/env bash
# The command-line program as a user runs it; the result read back by assimp.
set -euo pipefail
tuftsprout=$1
fixtures=$(cd "$(dirname "$0")/fixtures" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }

"$tuftsprout" plant -o grass.obj --number 1000 --clock 0 2> log.txt || fail "plant exited $?"
[ "$(grep -c '^v ' grass.obj)" = 11000 ] || fail "expected 11000 points"
[ "$(grep -c '^f ' grass.obj)" = 5000 ] || fail "expected 5000 polygons"
info=$(assimp info grass.obj)
grep -qE 'Faces: +9000' <<<"$info" || fail "assimp does not read 5000 polygons (9000 triangles): $info"

# A pinned clock repeats the run byte for byte (the same name: the file names its material library).
mkdir again && (cd again && "$tuftsprout" plant -o grass.obj --number 1000 --clock 0 2>/dev/null)
cmp -s grass.obj again/grass.obj || fail "--clock 0 did not repeat the run"

# Large enough for several formatting chunks and file blocks: the same bytes whatever
# the number of threads that format them.
for file in big.obj big.ply; do
    ascii=$([ "$file" = big.ply ] && echo --ascii || true)
    mkdir -p one three
    TUFT_THREADS=1 "$tuftsprout" plant -o "one/$file" --number 30000 --set Add_UV=on --clock 0 $ascii 2>/dev/null
    TUFT_THREADS=3 "$tuftsprout" plant -o "three/$file" --number 30000 --set Add_UV=on --clock 0 $ascii 2>/dev/null
    cmp -s "one/$file" "three/$file" || fail "$file differs between 1 and 3 formatting threads"
done
[ "$(grep -c '^v ' one/big.obj)" = 330000 ] || fail "expected 330000 points in big.obj"

# Blades kept as instances of one blade write the same bytes as blades pasted as copies
# (TUFT_EXPAND_PASTES=1), in every format and mode.
mkdir copies
for run in "-o i.obj --number 2000 --set Add_UV=on" "-o i.ply --number 3000" "-o i.glb --number 2000 --set Add_UV=on" \
    "$fixtures/sphere.obj -o p.obj --mode polygon --select polygons:all --set Add_UV=on" \
    "$fixtures/terrain.obj -o t.gltf --scatter 500 --follow-surface" "$fixtures/weights.ply -o w.ply --ascii --mode point \
    --select points:all --set (WeightMap)=on" "$fixtures/tuft.obj -o b.obj --bg-layer $fixtures/tuft.obj --number 50"; do
    "$tuftsprout" plant $run --clock 3 2>/dev/null || fail "plant $run"
    (cd copies && TUFT_EXPAND_PASTES=1 "$tuftsprout" plant $run --clock 3 2>/dev/null) || fail "copies: plant $run"
done
for file in copies/*; do
    cmp -s "$file" "${file#copies/}" || fail "instances and copies wrote ${file#copies/} differently"
done
[ "$(ls copies | wc -l)" -ge 9 ] || fail "the runs with copies wrote $(ls copies | tr '\n' ' ')"

# A table of placements lists the blades kept as instances; blades that are copies are
# not in it, and the run says so.
(cd copies && TUFT_EXPAND_PASTES=1 "$tuftsprout" plant -o blades.csv --number 5 2> csv.txt) || fail "copies: plant -o blades.csv"
grep -q "warning: 5 of the 5 blades planted are not in blades.csv" copies/csv.txt ||
    fail "blades that are copies left out of a table without a word: $(cat copies/csv.txt)"
rm copies/csv.txt copies/blades.csv

# Instances are written a chunk at a time, never copied out whole: a million blades with
# UVs (550 MB of mesh, were they copies) are written in each format within 300 MB.
if [ -z "${TUFT_WINDOWS:-}" ] && ! grep -qaE '__(a|t)san_init' "$tuftsprout"; then
    for file in million.obj million.ply million.glb; do
        peak=$(python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], check=True, stderr=subprocess.DEVNULL)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss // 1024)' \
            "$tuftsprout" plant -o "$file" --number 1000000 --set Add_UV=on) || fail "plant -o $file"
        [ "$peak" -lt 300 ] || fail "writing $file took $peak MB at its peak"
        rm -f "$file" million.mtl
    done
fi

# UVs on: every point has a vt.
"$tuftsprout" plant -o uv.obj --set "Add_UV=on" 2>/dev/null
[ "$(grep -c '^vt ' uv.obj)" = 1100 ] || fail "expected 1100 UVs"
assimp dump uv.obj uv.xml >/dev/null 2>&1 || fail "assimp cannot dump uv.obj"
grep -q '<TextureCoords' uv.xml || fail "assimp finds no UV channel"

# The preview, alone and as it stood at OK; a build that cannot draw (TUFT_CANNOT_DRAW
# set: Windows, for now) refuses to as a usage error, before it writes anything.
if [ -z "${TUFT_CANNOT_DRAW:-}" ]; then
    "$tuftsprout" preview -o blade.png --division 8 2>/dev/null
    "$tuftsprout" plant -o withPreview.obj --preview atOk.png 2>/dev/null
    for png in blade.png atOk.png; do
        [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$png is not a PNG"
    done
else
    for command in "preview -o blade.png" "plant -o withPreview.obj --preview atOk.png" "view grass.obj -o g.png" \
        "plant -o withPicture.obj --picture p.png" "gui -o g.obj"; do
        set +e
        "$tuftsprout" $command 2>err.txt; status=$?
        set -e
        [ $status = 2 ] || fail "$command exited $status"
        grep -q 'draws with OpenGL, which this build of tuftsprout cannot do yet' err.txt || fail "$command: $(cat err.txt)"
    done
    [ -z "$(ls ./*.png withP*.obj g.obj 2>/dev/null)" ] || fail "a refused drawing wrote a file"
fi

# Usage errors exit 2 and change nothing; Cancel writes nothing.
set +e
"$tuftsprout" plant -o grass.obj --set "Nonsense=1" 2>err.txt; status=$?
set -e
[ $status = 2 ] || fail "unknown control exited $status"
grep -q 'no control "Nonsense"' err.txt || fail "unclear message: $(cat err.txt)"
cmp -s grass.obj again/grass.obj || fail "a failed run changed the output"
"$tuftsprout" plant -o cancelled.obj --cancel 2>/dev/null
[ ! -e cancelled.obj ] || fail "Cancel wrote a file"
set +e
"$tuftsprout" plant -o out.obj --plugin /etc/hostname 2>err.txt; status=$?
set -e
[ $status = 1 ] || fail "a bad plug-in exited $status"
"$tuftsprout" --help | grep -q plant || fail "--help does not list plant"
"$tuftsprout" --version | grep -q '^tuftsprout [0-9]' || fail "--version"

# --bg-layer plants the given mesh instead of the built blade: 7 copies of a triangle.
printf 'v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n' > tri.obj
"$tuftsprout" plant -o tufts.obj --bg-layer tri.obj --number 7 2>/dev/null
[ "$(grep -c '^v ' tufts.obj)" = 21 ] || fail "expected 7 triangles of background geometry"
[ "$(grep -c '^f ' tufts.obj)" = 7 ] || fail "expected 7 faces"

# A bad input mesh names the file and what was wrong, and writes nothing.
printf 'v 0 0 0\nf 1 2 3\n' > bad.obj
set +e
"$tuftsprout" plant bad.obj -o fromBad.obj 2>err.txt; status=$?
set -e
[ $status = 1 ] || fail "a bad mesh exited $status"
grep -q 'bad.obj' err.txt || fail "the message does not name the file: $(cat err.txt)"
[ ! -e fromBad.obj ] || fail "a bad input still wrote output"
# Presets: saved with the options set, loaded into another run.
"$tuftsprout" plant -o a.obj --number 7 --division 3 --save-preset shape --cancel 2>/dev/null
printf 'ZELTUFTSPROUT\r\n7\r\n3\r\n0.4\r\n' > expected-start.txt
head -c "$(wc -c < expected-start.txt)" shape.zts | cmp -s - expected-start.txt ||
    fail "shape.zts does not hold the options: $(od -c shape.zts | head -3)"
"$tuftsprout" plant -o b.obj --load-preset shape.zts >echo.txt 2>/dev/null
[ "$(grep -c '^v ' b.obj)" = $((7 * 7)) ] || fail "the loaded preset did not set Number 7 and Division 3"
grep -q '^7' echo.txt || fail "loading does not echo the values read"

# A textured terrain comes back whole for a third-party reader: every face, and UVs on
# every mesh (one a material), in OBJ and PLY.
cp "$fixtures/terrain.obj" "$fixtures/terrain.mtl" .
for out in textured.obj textured.ply; do
    "$tuftsprout" plant terrain.obj -o "$out" --set Add_UV=on --number 10 --clock 1 --normals 2>/dev/null ||
        fail "planting on terrain.obj into $out"
    info=$(assimp info "$out")
    grep -qE 'Faces: +102' <<<"$info" || fail "assimp does not read every face of $out: $info"
    assimp dump "$out" textured.xml >/dev/null 2>&1 || fail "assimp cannot dump $out"
    meshes=$(grep -c '<Mesh ' textured.xml)
    [ "$(grep -c '<TextureCoords' textured.xml)" = "$meshes" ] || fail "a mesh of $out has no UVs for assimp"
    [ "$(grep -c '<Normals' textured.xml)" = "$meshes" ] || fail "a mesh of $out has no normals for assimp"
done
[ "$(grep mtllib textured.obj)" = "$(printf 'mtllib terrain.mtl\nmtllib textured.mtl')" ] ||
    fail "textured.obj does not name both material libraries, a line each: $(grep mtllib textured.obj)"

# Materials travel: beside its input the output names the input's library again (a line
# a library, as Blender and assimp read them) and leaves it alone; elsewhere the output's
# own library holds the materials whole, the texture named from there, and nothing is
# written in the input's folder.
mkdir -p scene/tex elsewhere
printf 'mtllib scene.mtl\nv 0 0 0\nv 1 0 0\nv 0 0 1\nv 1 0 1\nusemtl Lawn\nf 1 3 2\nusemtl Bark\nf 2 3 4\n' >scene/scene.obj
printf 'newmtl Lawn\nKd 0.2 0.6 0.1\nNs 10\nmap_Kd -s 1 1 1 tex/grass.png\n\nnewmtl Bark\nKd 0.4 0.3 0.2\nillum 2\n' >scene/scene.mtl
printf 'P3 1 1 255 0 255 0\n' >scene/tex/grass.png
cp scene/scene.mtl library-as-it-was.mtl
"$tuftsprout" plant scene/scene.obj -o scene/here.obj --number 3 --clock 1 2>/dev/null || fail "planting beside scene.obj"
[ "$(grep mtllib scene/here.obj)" = "$(printf 'mtllib scene.mtl\nmtllib here.mtl')" ] ||
    fail "here.obj does not name both libraries, a line each: $(grep mtllib scene/here.obj)"
cmp -s scene/scene.mtl library-as-it-was.mtl || fail "planting beside scene.obj changed its library"
input=$(cd scene && find . -type f -exec sha256sum {} + | sort)
"$tuftsprout" plant scene/scene.obj -o elsewhere/there.obj --number 3 --clock 1 2>/dev/null || fail "planting elsewhere"
[ "$(grep mtllib elsewhere/there.obj)" = 'mtllib there.mtl' ] ||
    fail "there.obj names libraries it does not find: $(grep mtllib elsewhere/there.obj)"
[ "$(grep -A4 '^newmtl Lawn$' elsewhere/there.mtl)" = \
    "$(printf 'newmtl Lawn\nKd 0.2 0.6 0.1\nNs 10\nmap_Kd -s 1 1 1 ../scene/tex/grass.png\n')" ] &&
    [ "$(grep -A2 '^newmtl Bark$' elsewhere/there.mtl)" = "$(printf 'newmtl Bark\nKd 0.4 0.3 0.2\nillum 2')" ] ||
    fail "the materials are not copied whole: $(cat elsewhere/there.mtl)"
cmp -s "elsewhere/$(sed -n 's/^map_Kd -s 1 1 1 //p' elsewhere/there.mtl)" scene/tex/grass.png ||
    fail "the copied texture path does not lead to the texture"
[ "$(cd scene && find . -type f -exec sha256sum {} + | sort)" = "$input" ] || fail "planting elsewhere wrote in scene/"
if command -v assimp >/dev/null; then
    for out in scene/here.obj elsewhere/there.obj; do
        info=$(assimp info "$out" 2>&1)
        for material in Lawn Bark Grass; do
            grep -q "^ *'$material' (prop)" <<<"$info" || fail "assimp does not find $material in $out: $info"
        done
    done
    grep -qx " *'../scene/tex/grass.png'" <<<"$(assimp info elsewhere/there.obj 2>&1)" ||
        fail "assimp does not find the texture from there.obj"
else
    echo "cli: assimp is not installed: the materials are not read back by it"
fi

# A mesh without materials: its faces and the grass are two materials in every format,
# as assimp reads them.
printf 'v 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 3 2\n' > bare.obj
for out in bare-out.obj bare-out.ply bare-out.glb; do
    "$tuftsprout" plant bare.obj -o "$out" --number 5 --clock 1 2>/dev/null || fail "planting on bare.obj into $out"
done
for out in bare-out.obj bare-out.glb; do
    info=$(assimp info "$out" 2>&1 | grep -v '%$')
    grep -qE '^Materials: +2$' <<<"$info" || fail "assimp does not find two materials in $out: $info"
done
# (assimp reads a PLY file's materials, though it puts every face on the first.)
assimp dump bare-out.ply bare-ply.xml >/dev/null 2>&1 || fail "assimp cannot dump bare-out.ply"
grep -q '<MaterialList num="2">' bare-ply.xml || fail "assimp does not find two materials in bare-out.ply"
grep -aq '^comment material 1 Grass$' bare-out.ply || fail "bare-out.ply does not name the grass's material"

# What a file holds that the object cannot keep: a warning a kind, with its count, and
# the output all the same.
printf 'v 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 3 2\ncurv 0 1 1 2\nparm u 0 1\nbevel on\n' > odd.obj
"$tuftsprout" plant odd.obj -o odd-out.obj --number 2 2>odd.txt || fail "odd.obj failed: $(cat odd.txt)"
[ "$(grep -c 'warning: .*odd.obj: 2 free-form curve and surface statements ("curv", "parm") not read' odd.txt)" = 1 ] ||
    fail "the free-form warning is not there once: $(cat odd.txt)"
[ "$(grep -c 'warning: .*odd.obj:' odd.txt)" = 2 ] || fail "expected two warnings about odd.obj: $(cat odd.txt)"
[ -s odd-out.obj ] || fail "a file with warnings wrote no output"

# Scattered by area over a hill and planted in Point mode: the same file for the same
# clock, another for another; the points themselves are not written.
cp "$fixtures/hill.ply" .
"$tuftsprout" plant hill.ply -o scattered.ply --scatter 200 --clock 1 2>/dev/null || fail "--scatter 200"
"$tuftsprout" plant hill.ply -o again.ply --scatter 200 --clock 1 2>/dev/null
"$tuftsprout" plant hill.ply -o other.ply --scatter 200 --clock 2 2>/dev/null
cmp -s scattered.ply again.ply || fail "the same clock scattered differently"
cmp -s scattered.ply other.ply && fail "another clock scattered the same"
grep -aq "^element vertex $((121 + 200 * 11))\$" scattered.ply || fail "scatter points were left in the output"
# Following the surface: the triangles planted on are not written either.
"$tuftsprout" plant hill.ply -o followed.ply --scatter 200 --follow-surface --clock 1 2>/dev/null ||
    fail "--scatter 200 --follow-surface"
grep -aq "^element vertex $((121 + 200 * 11))\$" followed.ply || fail "--follow-surface left points in the output"
grep -aq "^element face $((100 + 200 * 5))\$" followed.ply || fail "--follow-surface left polygons in the output"
cmp -s scattered.ply followed.ply && fail "--follow-surface planted as upright blades do"
"$tuftsprout" plant hill.ply -o spaced.ply --scatter 100000 --spacing 0.5 --density-map dense --size-map tall \
    --slope 40 --clock 1 2>spaced.txt || fail "--spacing: $(cat spaced.txt)"
grep -q '^tuftsprout: [0-9]* of the 100000 points asked for fit 0.5 apart$' spaced.txt || fail "no word of how many fit: $(cat spaced.txt)"
# Clumps too small to hold a point, and a falloff that leaves no area, say so.
"$tuftsprout" plant hill.ply -o clumped.ply --scatter 100 --clump 3,1e-300 --clock 1 2>clumped.txt && fail "nothing fit, and it said it planted"
grep -q '^tuftsprout: 0 of the 100 points asked for fit in 3 clumps of radius 1e-300$' clumped.txt ||
    fail "no word of clumps too small: $(cat clumped.txt)"
"$tuftsprout" plant hill.ply -o faded.ply --density 10 --edge-falloff 1000 --clock 1 2>faded.txt && fail "no points, and it said it planted"
grep -q 'asks for no points$' faded.txt || fail "no word of a falloff that leaves nothing: $(cat faded.txt)"
set +e
for wrong in "--spacing 1" "--scatter 5 --mode ground" "--scatter 5 --select points:all" "--scatter 5 --density 2" \
    "--scatter 5 --density-map nothing" "--follow-surface" "--follow-surface --mode polygon --select polygons:all"; do
    "$tuftsprout" plant hill.ply -o wrong.ply $wrong 2>/dev/null
    [ $? = 2 ] || fail "plant hill.ply $wrong is no usage error"
done
set -e
[ ! -e wrong.ply ] || fail "a usage error wrote a file"
"$tuftsprout" plant hill.ply -o wrong.ply --follow-surface --mode ground 2>wrong.txt || true
grep -q 'give it with --scatter or with Point mode' wrong.txt || fail "--follow-surface does not say where it applies: $(cat wrong.txt)"

# Windows paths (TUFT_WINDOWS set: the program runs under Wine, whose drive Z: is /):
# backslashes and a drive find the material library beside the input, and the files
# written name their companions by file name alone (the input's library is in another
# folder: its materials are copied into the output's).
if [ -n "${TUFT_WINDOWS:-}" ]; then
    mkdir -p backslash/meshes && cp "$fixtures/terrain.obj" "$fixtures/terrain.mtl" backslash/meshes/
    windows="Z:$(pwd | tr / '\\')\\backslash"
    "$tuftsprout" plant "$windows\\meshes\\terrain.obj" -o "$windows\\t.obj" --number 5 2>err.txt ||
        fail "backslashed paths: $(cat err.txt)"
    [ ! -s err.txt ] || ! grep -q warning err.txt || fail "backslashed paths warned: $(cat err.txt)"
    [ "$(grep mtllib backslash/t.obj)" = 'mtllib t.mtl' ] || fail "t.obj names its libraries wrongly: $(grep mtllib backslash/t.obj)"
    grep -qx 'Kd 0.45 0.42 0.4' backslash/t.mtl || fail "t.mtl lacks the terrain's Rock: $(cat backslash/t.mtl)"
    "$tuftsprout" plant -o "$windows\\g.gltf" --number 5 2>/dev/null
    grep -q '"uri":"g.bin"' backslash/g.gltf || fail "g.gltf names its buffer wrongly: $(grep -o '"uri":"[^"]*"' backslash/g.gltf)"
    printf 'mtllib ..\\secret.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n' > backslash/meshes/up.obj
    "$tuftsprout" plant "$windows\\meshes\\up.obj" -o up.obj --number 2 2>err.txt
    grep -q 'secret.mtl: it is not in the folder of the OBJ file' err.txt || fail "..\\ left the folder: $(cat err.txt)"
fi

echo "cli: 1 passed, 0 failed"
