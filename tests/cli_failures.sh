#!/usr/bin/env bash
# Failure is loud and nothing is lost. Each class of failure is a table of cases; every
# case runs in a folder of its own beside a target k.obj, and is checked for its exit
# status, its message, the target left byte for byte as it was, and nothing left over.
# With TUFT_WINDOWS set (a Windows program under Wine) the cases of POSIX's own
# mechanisms (signals, resource limits, another user, links, modes) are left out, and
# Windows's read-only files are tried instead.
set -uo pipefail
tuftsprout=$1
fixtures=$(cd "$(dirname "$0")/fixtures" && pwd)
work=$(mktemp -d)
chmod 755 "$work"
trap 'chmod -R u+rwx "$work"; rm -rf "$work"' EXIT
cd "$work"

failed=0
cases=0
fail() {
    echo "FAIL: $*" >&2
    failed=$((failed + 1))
}

# As root, permissions would not count: such cases run as a user without root's powers.
as_user() {
    if [ "$(id -u)" = 0 ]; then
        setpriv --reuid=65534 --regid=65534 --clear-groups -- "$@"
    else
        "$@"
    fi
}

posix() { [ -z "${TUFT_WINDOWS:-}" ]; }
# AddressSanitizer reserves terabytes of address space: a limit on it stops the program at its start.
sanitized() { grep -qa __asan_init "$tuftsprout"; }

# The files of the current folder and below, and the checksums of those that can be read.
snapshot() {
    find . ! -name . ! -name out.txt ! -name err.txt ! -name status.txt 2> /dev/null | sort
    find . -type f -readable ! -name out.txt ! -name err.txt ! -name status.txt -print0 2> /dev/null |
        sort -z | xargs -0 -r sha256sum 2> /dev/null
}

# run_case FOLDER SETUP ARGUMENTS USER: one run in a new FOLDER beside the target k.obj;
# its standard streams and status are left in out.txt, err.txt and status.txt there.
run_case() {
    local folder=$1 setup=$2 arguments=$3 user=$4
    mkdir "$folder" && chmod 777 "$folder"
    (
        cd "$folder" || exit 1
        printf 'the target as it was\n' > k.obj
        chmod 666 k.obj
        eval "$setup"
        snapshot > ../before.txt
        if [ "$user" = user ]; then
            eval "as_user $tuftsprout ${command:-plant} $arguments" > out.txt 2> err.txt
        else
            eval "$tuftsprout ${command:-plant} $arguments" > out.txt 2> err.txt
        fi
        echo $? > status.txt
    )
}

# check CLASS STATUS PATTERN SETUP ARGUMENTS [USER]
# Runs `tuftsprout plant ARGUMENTS` (words split as the shell splits them; `command=view
# check ...` runs view instead) in a fresh folder after SETUP; USER "user" runs it without
# root's powers. STATUS may be a choice ("0|1"); after a failure nothing may have changed:
# no file made, none removed, none with other bytes.
check() {
    local class=$1 status=$2 pattern=$3 setup=$4 arguments=$5 user=${6:-}
    if [ "$user" = user ] && ! posix; then return; fi
    cases=$((cases + 1))
    local folder="$work/case-$cases"
    run_case "$folder" "$setup" "$arguments" "$user"
    local got
    got=$(cat "$folder/status.txt")
    # Under load Wine has been seen to end a program before it began, silently: such a
    # run says nothing at all, which this program never does, and is made once more.
    if ! posix && [ "$got" != 0 ] && [ ! -s "$folder/err.txt" ] && [ ! -s "$folder/out.txt" ]; then
        echo "note: $class: plant $arguments ended with $got and said nothing (Wine); run again" >&2
        chmod -R u+rwx "$folder" && rm -rf "$folder"
        run_case "$folder" "$setup" "$arguments" "$user"
        got=$(cat "$folder/status.txt")
    fi
    local err="$folder/err.txt"
    [[ "$got" =~ ^($status)$ ]] ||
        fail "$class: plant $arguments exited $got, not $status: $(cat "$err") [standard output: $(cat "$folder/out.txt")]"
    grep -qE -- "$pattern" "$err" || fail "$class: plant $arguments: message does not say /$pattern/: $(cat "$err")"
    if grep -q 'warning: warning' "$err"; then fail "$class: plant $arguments doubles a prefix: $(cat "$err")"; fi
    if [ "$got" != 0 ]; then
        [ "$(cat "$folder/k.obj" 2>/dev/null)" = "the target as it was" ] ||
            fail "$class: plant $arguments changed the target"
        (cd "$folder" && snapshot) > "$work/after.txt"
        cmp -s "$work/before.txt" "$work/after.txt" ||
            fail "$class: plant $arguments changed files or left files behind: $(diff "$work/before.txt" "$work/after.txt" | grep '^[<>]' | tr '\n' ' ')"
    fi
}

cp "$fixtures/weights.ply" "$work/weights.ply"
printf 'v 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 3 2\n' > "$work/tri.obj"
preset() { printf 'ZELTUFTSPROUT\r\n%s\r\n5\r\n%s\r\n1\r\n0\r\n0\r\n15.5\r\n10.5\r\n75.5\r\n25.5\r\n75.5\r\n75.5' "$1" "$2"; }

# --- failures once reported as success --------------------------------------------------
c=failures-reported-as-success
check $c 1 'nonexistent.zts: No such file' '' '-o k.obj --load-preset /nonexistent.zts'
check $c 1 'p.zts: it is empty' ': > p.zts' '-o k.obj --load-preset p.zts'
check $c 1 'p.zts: it is a folder' 'mkdir p.zts' '-o k.obj --load-preset p.zts'
check $c 1 'p.zts: it is not a preset' 'printf "\x7fELF\x02\x01\x01binary" > p.zts' '-o k.obj --load-preset p.zts'
check $c 1 'p.zts: it holds no values' 'printf "ZELTUFTSPROUT\r\n" > p.zts' '-o k.obj --load-preset p.zts'
check $c 1 'save-preset ro/p: .*Permission denied' 'mkdir ro && chmod 555 ro' '-o k.obj --save-preset ro/p' user
check $c 1 'save-preset nope/p: the folder nope does not exist' '' '-o k.obj --save-preset nope/p'
check $c 2 'f: that is a folder' 'mkdir f' '-o k.obj --save-preset f'
check $c 2 'f/: that is a folder' '' '-o k.obj --save-preset f/'
check $c 2 'needs a file name' '' '-o k.obj --save-preset ""'
check $c 1 'cannot write nope/r.txt: No such file' '' '-o k.obj --panel-report nope/r.txt'
check $c 1 'cannot write d/r.txt: its folder does not allow' 'mkdir -m 777 d && touch d/r.txt && chmod 666 d/r.txt && chmod 555 d' \
    '-o k.obj --panel-report d/r.txt' user

# --- runs that plant nothing ------------------------------------------------------------
c=runs-that-plant-nothing
check $c 1 'nothing was planted: Point mode .* none is selected' '' "$work/weights.ply -o k.obj --mode point"
check $c 1 'nothing was planted: .*has none \(its weight maps: ZTSWX' "sed s/ZTSW/ZTSWX/ $work/weights.ply > x.ply" \
    '-o k.obj x.ply --mode point --select points:all --set "(WeightMap)=on"'
check $c 1 'nothing was planted: .*background layer, and it is empty' ': > e.obj' '-o k.obj --bg-layer e.obj'
check $c 1 'nothing was planted: "Number" is 0' '' '-o k.obj --number 0'
check $c 1 'warned "warning: ERORR: Add VMAP' '' "$work/tri.obj -o k.obj --mode point --select points:all --set \"(WeightMap)=on\""
check $c 0 'wrote k.obj: 3 points, 1 polygons' '' "$work/tri.obj -o k.obj --mode point --allow-empty"

# --- preset values ----------------------------------------------------------------------
c=preset-values
for size in nan inf -INF 4.000e+3000; do
    check $c 0 'wrote k.obj' "$(printf 'preset 7 %s > p.zts' "$size")" '-o k.obj --load-preset p.zts --save-preset back'
    grep -qiE 'nan|inf' "$work/case-$cases/k.obj" && fail "$c: Size $size wrote a number that is not finite"
    [ "$(sed -n 4p "$work/case-$cases/back.zts" | tr -d '\r')" = 0 ] || fail "$c: Size $size did not read as 0"
done
for field in --0.7 +-2; do
    check $c 0 'wrote k.obj' "$(printf 'preset 7 0.4 > p.zts; sed -i "5s/.*/%s\r/" p.zts' "$field")" \
        '-o k.obj --load-preset p.zts --save-preset back'
    [ "$(sed -n 5p "$work/case-$cases/back.zts" | tr -d '\r')" = 0 ] || fail "$c: Field $field did not read as 0"
done

# --- signals and limits -----------------------------------------------------------------
c=signals-and-limits
posix && for signal in INT TERM HUP; do
    cases=$((cases + 1))
    folder="$work/case-$cases" && mkdir "$folder" && printf 'the target as it was\n' > "$folder/k.obj"
    (cd "$folder" && exec "$tuftsprout" plant -o k.obj --number 400000 --set Add_UV=on 2>/dev/null) &
    runner=$!
    for _ in $(seq 1 3000); do
        [ -n "$(find "$folder" -name 'k.obj.tuftsprout-*' -size +0 2>/dev/null)" ] && break
        sleep 0.01
    done
    kill -s "$signal" "$runner"
    wait "$runner" 2>/dev/null
    got=$?
    expected=$((128 + $(kill -l "$signal")))
    [ "$got" = "$expected" ] || fail "$c: SIG$signal while writing: exit $got, not $expected (death by the signal)"
    [ "$(cat "$folder/k.obj")" = "the target as it was" ] || fail "$c: SIG$signal changed the target"
    [ "$(ls -A "$folder")" = k.obj ] || fail "$c: SIG$signal left files behind: $(ls -A "$folder" | tr '\n' ' ')"
done
posix && check $c 1 'cannot write k.obj: File too large' 'ulimit -f 2000' '-o k.obj --number 30000'
check $c 1 'planting needs about [0-9.]+ GB of memory, and this machine has' '' '-o k.obj --number 1000000000 --set Division=1'
check $c 1 'planting would make 4400000000 points in one layer, more than a layer holds' '' '-o k.obj --number 400000000'
check $c 1 'planting would make [0-9]+ points in one layer' 'preset 99999999999 0.4 > p.zts' '-o k.obj --load-preset p.zts'
# A picture whose buffers do not fit in the address space: a message, never a crash nor an empty picture.
if posix && ! sanitized; then
    for limit in 1000000 2000000 4000000; do
        command=view check $c '0|1' '^wrote p.png|cannot render a picture.*memory' "ulimit -v $limit" \
            "$work/tri.obj -o p.png --picture-size 8192x8192"
        if [ "$(cat "$work/case-$cases/status.txt")" = 0 ]; then
            [ "$(convert "$work/case-$cases/p.png" -format '%[fx:standard_deviation>0]' info:)" = 1 ] ||
                fail "$c: view under ulimit -v $limit: an empty picture"
        fi
    done
fi

# --- replacing files --------------------------------------------------------------------
c=replacing-files
if posix; then
    check $c 0 'wrote' 'mv k.obj real.obj && ln -s real.obj k.obj' '-o k.obj --number 3'
    [ -L "$work/case-$cases/k.obj" ] && grep -q '^v ' "$work/case-$cases/real.obj" ||
        fail "$c: the output replaced the link instead of the file it names"
    check $c 0 'wrote' 'chmod 600 k.obj' '-o k.obj --number 3'
    [ "$(stat -c %a "$work/case-$cases/k.obj")" = 600 ] || fail "$c: the output lost its mode 600"
else
    check $c 1 'cannot write k.obj: it is read-only' 'chmod 444 k.obj' '-o k.obj --number 3'
fi
check $c 1 'cannot write k.obj: Permission denied' 'chmod 444 k.obj' '-o k.obj --number 3' user
check $c 1 'cannot write k.obj: its folder does not allow a new file' 'chmod 555 .' '-o k.obj --number 3' user

# --- the plug-in path -------------------------------------------------------------------
c=plugin-path
check $c 1 'cannot load plug-in libm.so.6' 'printf "not a library" > libm.so.6' '-o k.obj --plugin libm.so.6'

# --- numbers on the command line -------------------------------------------------------
# Every number is checked, finite and in its range, before anything is read: the input
# is a FIFO that no reader could get past.
c=command-line-numbers
fifo='if posix; then mkfifo in.obj; else cp ../tri.obj in.obj; fi'
while read -r option value said; do
    check $c 2 "$option.*$said" "$fifo" "in.obj -o k.obj --scatter 10 $option $value"
done <<'CASES'
--spacing nan is not a finite number
--spacing inf is not a finite number
--spacing 0 out of range: a number above 0
--spacing -1e-300 out of range: a number above 0
--slope nan is not a finite number
--slope 180.5 out of range: a number from 0 to 180
--slope -0.1 out of range
--field nan is not a finite number
--field -inf is not a finite number
--size NaN is not a finite number
--size 1e999 is not a finite number
--roughness nan is not a finite number
--roughness 101 out of range: a number from 0 to 100
--rotation -nan is not a finite number
--number nan
--number -5 not in range 0 to 2147483647
--division 9
--scatter 4294967297
CASES
while read -r value said; do
    check $c 2 "--density: .*$said" "$fifo" "in.obj -o k.obj --density $value"
done <<'CASES'
nan is not a finite number
1e308 out of range: a number above 0 and up to 4294967296
inf is not a finite number
0 out of range
-5 out of range
CASES
# Instances are glTF's alone: asked of another format, refused before anything is read.
for out in k.obj k.ply; do
    check $c 2 "--instances: $out cannot hold instances; write a .glb or .gltf file" "$fifo" "in.obj -o $out --instances"
done
check $c 2 "--instances: k.csv lists the instances' placements without it" "$fifo" "in.obj -o k.csv --instances"
# Cells group instances: a side above 0, and only with them.
while read -r value said; do
    check $c 2 "--cell: $said" "$fifo" "in.obj -o k.glb --instances --cell $value"
done <<'CASES'
0 0 is out of range: a number above 0
nan "nan" is not a finite number
-2 -2 is out of range
inf "inf" is not a finite number
CASES
check $c 2 '--cell groups instances into nodes: it belongs to --instances' "$fifo" "in.obj -o k.glb --cell 5"
# Cells far smaller than the grass's spread would make a node of nearly every blade.
check $c 1 'cannot write k.glb: cells of side 1e-09 would draw the blades by 100001 nodes or more, past the 100000' \
    '' '-o k.glb --number 100001 --instances --cell 1e-9'
# Clumps: a whole number of centres and a radius above 0, with scattering.
while read -r value said; do
    check $c 2 "--clump $value: $said" "$fifo" "in.obj -o k.obj --scatter 10 --clump $value"
done <<'CASES'
0,1 expected COUNT,RADIUS
5 expected COUNT,RADIUS
x,1 expected COUNT,RADIUS
5,0 the radius "0" is not a finite number above 0
5,nan the radius "nan" is not a finite number above 0
5,-1 the radius "-1" is not a finite number above 0
CASES
check $c 2 '--clump belongs to --scatter or --density' "$fifo" "in.obj -o k.obj --clump 5,1"
check $c 2 '--edge-falloff: 0 is out of range: a number above 0' "$fifo" "in.obj -o k.obj --scatter 10 --edge-falloff 0"
check $c 2 '--edge-falloff: "nan" is not a finite number' "$fifo" "in.obj -o k.obj --scatter 10 --edge-falloff nan"
check $c 2 '--edge-falloff belongs to --scatter or --density' "$fifo" "in.obj -o k.obj --edge-falloff 1"
# Colours: two #rrggbb, a scale above 0, a jitter from 0 to 1, each refused before the
# input (a pipe nobody writes) is read.
while read -r value said; do
    check $c 2 "--colour: $said" "$fifo" "in.obj -o k.obj --colour '$value'"
done <<'CASES'
#12345,#000000 "#12345" is not a colour written #rrggbb
#1234567,#000000 "#1234567" is not a colour written #rrggbb
#00ff00,00ff00 "00ff00" is not a colour written #rrggbb
#00ff00,#gg0000 "#gg0000" is not a colour written #rrggbb
#00ff00,#nan000 "#nan000" is not a colour written #rrggbb
CASES
check $c 2 '--colour #00ff00: expected two colours A,B' "$fifo" "in.obj -o k.obj --colour '#00ff00'"
check $c 2 '--colour #0,#0,#0: expected two colours A,B' "$fifo" "in.obj -o k.obj --colour '#0,#0,#0'"
while read -r option value said; do
    check $c 2 "$option: $said" "$fifo" "in.obj -o k.obj --colour '#000000,#ffffff' $option $value"
done <<'CASES'
--colour-scale 0 0 is out of range: a number above 0
--colour-scale nan "nan" is not a finite number
--colour-scale -1 -1 is out of range
--colour-jitter 1.5 1.5 is out of range: a number from 0 to 1
--colour-jitter -0.1 -0.1 is out of range
--colour-jitter nan "nan" is not a finite number
CASES
check $c 2 '--colour-jitter belongs to --colour A,B' "$fifo" "in.obj -o k.obj --colour-jitter 0.5"
check $c 2 '--colour-scale belongs to --colour A,B' "$fifo" "in.obj -o k.obj --colour-scale 2"
# Variants: a preset or a mesh that is there, a weight above 0, and nothing a mix of runs
# cannot follow; each refused before the input is read.
printf 'preset\n' > "$work/v.zts"
while read -r value said; do
    check $c 2 "--variant $value: $said" "$fifo" "in.obj -o k.obj --variant $value"
done <<'CASES'
../v.zts:0 the weight "0" is not a finite number above 0
../v.zts:-1 the weight "-1" is not a finite number above 0
../v.zts:nan the weight "nan" is not a finite number above 0
../v.zts: the weight "" is not a finite number above 0
../v.txt expected a preset \(.zts\) or a mesh
../missing.zts no such file
../missing.obj:2 no such file
CASES
for option in '--bg-layer ../v.zts' '--save-preset s' '--follow-surface' '--cancel'; do
    check $c 2 "${option%% *} cannot go with --variant" "$fifo" "in.obj -o k.obj --variant ../v.zts $option"
done
# A table of placements is written, never read.
check $c 1 'k.csv: a .csv file holds placements, not a mesh' 'printf "id\n" > k.csv' 'k.csv -o k.obj'
# Within its range, a density over a large area asks for more points than one scattering makes.
check $c 2 'a density of 4294967296 over an area of 5e\+11 asks for more than 4294967296 points' \
    "printf 'v 0 0 0\\nv 1e6 0 0\\nv 0 0 1e6\\nf 1 3 2\\n' > big.obj" 'big.obj -o k.obj --density 4294967296'

# --- messages ---------------------------------------------------------------------------
c=messages
check $c 1 'cannot read in.obj: Permission denied' 'cp ../tri.obj in.obj && chmod 000 in.obj' '-o k.obj in.obj' user
check $c 2 'cannot set "P3\(z\)" to "inf"' '' '-o k.obj --set "P3(z)=inf"'
check $c 2 'clock 99999999999999999999: beyond the clock' '' '-o k.obj --clock 99999999999999999999'
check $c 2 'not a whole number' '' '-o k.obj --clock 12x'
# A legal long name works: the temporary's name is cut to fit beside it (250 and 255
# bytes, one of them new, one replaced, one of two-byte characters).
long=$(printf 'n%.0s' $(seq 1 246)).obj
check $c 0 "wrote $long" '' "-o $long --number 3"
longest=$(printf 'n%.0s' $(seq 1 251)).obj
check $c 0 "wrote $longest" "printf old > $longest" "-o $longest --number 3"
wide=$(printf '\xc3\xa9%.0s' $(seq 1 125)).ply
posix && check $c 0 "wrote $wide" "printf old > $wide" "-o $wide --number 3" # (Wine's code page is not UTF-8)
# Preset values echoed to the terminal show control characters escaped.
check $c 0 'wrote k.obj' 'preset "$(printf "7\033[31m")" "$(printf "0.4\033]0;title\007")" > p.zts' \
    '-o k.obj --load-preset p.zts'
if grep -q "$(printf '\033')" "$work/case-$cases/out.txt" || ! grep -qF '7\x1B[31m' "$work/case-$cases/out.txt"; then
    fail "$c: preset values echoed with raw control characters: $(cat -v "$work/case-$cases/out.txt")"
fi
# A glTF node whose transform overflows is refused at reading, by plant and view alike.
overflowing='{"asset":{"version":"2.0"},"nodes":[{"mesh":0,"scale":[1e308,1,1],"translation":[1e308,0,0]}],
"meshes":[{"primitives":[{"attributes":{"POSITION":0}}]}],"buffers":[{"byteLength":36,
"uri":"data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA"}],
"bufferViews":[{"buffer":0,"byteLength":36}],"accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3"}]}'
check $c 1 'o.gltf: node 0 places vertex 1 at no finite position' "echo '$overflowing' > o.gltf" 'o.gltf -o k.obj'
posix && command=view check $c 1 'o.gltf: node 0 places vertex 1' "echo '$overflowing' > o.gltf" 'o.gltf -o p.png'

# --- a run's outputs as one -------------------------------------------------------------
# Every file a run writes (the mesh and what is written beside it, the picture, the
# preview, the preset, the panel report) is complete before any replaces its target: a
# failure at any of them leaves every one as it was (check compares them all).
c=outputs-as-one
olds='for f in m.obj m.mtl p.png v.png s.zts r.txt; do printf "old %s\n" $f > $f; done'
# (The Windows build draws no pictures: there the run writes the other outputs.)
drawn=$(posix && echo '--picture p.png --preview v.png')
check $c 1 'nothing was planted' "$olds" "-o m.obj --number 0 $drawn --save-preset s --panel-report r.txt"
check $c 1 'nothing was planted' '' "-o m.obj --number 0 $drawn --save-preset s --panel-report r.txt"
if posix; then
    # The picture meets the size limit after the mesh is made, and the mesh after the picture.
    check $c 1 'cannot write p.png: File too large' "$olds; ulimit -f 75" '-o m.obj --picture p.png'
    check $c 1 'cannot write m.obj: File too large' "$olds; ulimit -f 2000" \
        '-o m.obj --number 30000 --picture p.png --picture-size 64x64 --preview v.png --save-preset s --panel-report r.txt'
    check $c 1 'cannot write p.png: File too large' "$olds; ulimit -f 75" '-o m.gltf --picture p.png'
    # A picture whose buffers do not fit: a message, and the mesh not replaced.
    sanitized || for limit in 2000000 4000000; do
        check $c '0|1' '^wrote m.obj|cannot render a picture.*memory' "$olds; ulimit -v $limit" \
            '-o m.obj --picture p.png --picture-size 8192x8192'
    done
fi
check $c 0 'wrote m.obj' "$olds" "-o m.obj ${drawn:+$drawn --picture-size 64x64} --save-preset s --panel-report r.txt"
for f in m.obj m.mtl s.zts r.txt $(posix && echo p.png v.png); do
    grep -q "^old " "$work/case-$cases/$f" && fail "$c: a run that succeeded left $f as it was"
done
[ -z "$(find "$work/case-$cases" -name '*.tuftsprout-*')" ] || fail "$c: a temporary file left behind"

# --- outputs that name inputs or each other ---------------------------------------------
# Files are told apart by what they are (links followed), not by their names; refused
# before anything is read. The mesh written may replace the mesh it was planted on (and
# what it writes beside it the files that mesh named), a preset saved the preset loaded.
c=outputs-naming-inputs
tri='cp ../tri.obj in.obj'
lib='printf "mtllib ./o.mtl\nv 0 0 0\nv 1 0 0\nv 0 0 1\nusemtl red\nf 1 3 2\n" > in.obj && printf "newmtl red\nKd 1 0 0\n" > o.mtl'
bin='printf "{\"asset\":{\"version\":\"2.0\"},\"buffers\":[{\"byteLength\":4,\"uri\":\"o.bin\"}]}" > in.gltf && printf abcd > o.bin'
while IFS='|' read -r status pattern setup arguments; do
    # (The Windows build draws no pictures, and says so first.)
    posix || [[ $arguments != *--picture* && $arguments != *--preview* ]] || continue
    check $c "$status" "$pattern" "$setup" "$arguments"
done <<CASES
2|--picture in.obj would replace the input in.obj|$tri|in.obj -o out.obj --picture in.obj
2|-o k.obj and --picture k.obj are one file|$tri|in.obj -o k.obj --picture k.obj
2|-o k.obj and --picture p.png are one file|ln -s k.obj p.png|-o k.obj --picture p.png
2|-o k.obj and --preview h.png are one file|ln k.obj h.png|-o k.obj --preview h.png
2|--save-preset r and --panel-report r.zts are one file||-o k.obj --save-preset r --panel-report r.zts
2|--panel-report in.obj would replace the input in.obj|$tri|in.obj -o k.obj --panel-report in.obj
2|--preview ./sub/../in.obj would replace the input in.obj|$tri; mkdir sub|in.obj -o k.obj --preview ./sub/../in.obj
2|-o in.obj would replace --bg-layer in.obj|$tri|-o in.obj --bg-layer in.obj
2|--picture p.png would replace --load-preset p.png|preset 7 0.4 > p.png|-o k.obj --load-preset p.png --picture p.png
2|-o new.obj and --picture ./new.obj are one file||-o new.obj --picture ./new.obj
2|the file o.mtl written beside -o o.obj would replace the file ./o.mtl that in.obj names|$lib|in.obj -o o.obj
2|the file o.bin written beside -o o.gltf would replace the file o.bin that in.gltf names|$bin|in.gltf -o o.gltf
2|--picture o.mtl would replace the file ./o.mtl that in.obj names|$lib|in.obj -o k.obj --picture o.mtl
2|the file k.mtl written beside -o k.obj would replace the input k.mtl|$tri; cp in.obj k.mtl; ln -sf in.obj x.obj|x.obj k.mtl -o k.obj
0|wrote in.obj|$tri|in.obj -o in.obj
0|wrote k.obj|preset 7 0.4 > p.zts|-o k.obj --load-preset p.zts --save-preset p.zts
CASES
posix && command=view check $c 2 '-o in.obj would replace the input in.obj' "$tri" 'in.obj -o in.obj'
posix && command=view check $c 2 '-o o.mtl would replace the file ./o.mtl that in.obj names' "$lib" 'in.obj -o o.mtl'
# Planted over its own input, whose library the output names again and never replaces.
check $c 0 'wrote in.obj' "$(printf '%s' "$lib" | sed 's/o\.mtl/in.mtl/g')" 'in.obj -o in.obj'
[ "$(cat "$work/case-$cases/in.mtl")" = "$(printf 'newmtl red\nKd 1 0 0')" ] || fail "$c: the input's own library replaced"
[ "$(grep mtllib "$work/case-$cases/in.obj")" = "$(printf 'mtllib ./in.mtl\nmtllib in-surfaces.mtl')" ] ||
    fail "$c: the output does not name both libraries, a line each"

# --- companions and names ---------------------------------------------------------------
# What is written beside a file goes beside the file actually written (through a link),
# named so that it reads back; OBJ names an mtllib line cannot carry are refused.
c=companions-and-names
if posix; then
    for output in o.gltf o.obj; do
        check $c 0 "wrote $output" "mkdir sub && ln -s sub/real.${output#o.} $output" "-o $output --number 3"
        folder="$work/case-$cases"
        companion=$([ "$output" = o.gltf ] && echo bin || echo mtl)
        [ -f "$folder/sub/real.$companion" ] && [ ! -e "$folder/o.$companion" ] ||
            fail "$c: -o $output through a link: its .$companion not beside the file written"
        for written in "sub/real.${output#o.}" "$output"; do # the file, and through the link
            (cd "$folder" && "$tuftsprout" plant "$written" -o back.ply --cancel > /dev/null 2> back.txt) &&
                ! grep -q warning "$folder/back.txt" || fail "$c: $written does not read back: $(cat "$folder/back.txt")"
        done
    done
fi
while IFS='|' read -r name; do
    check $c 2 'material library would be .*choose a name without spaces' '' "-o $name --number 3"
done <<'CASES'
"my grass.obj"
"a#1.obj"
"$(printf 'new\nline.obj')"
"$(printf 'tab\t.obj')"
CASES
names=('my grass#1.gltf' 'my grass#1.ply')
posix && names+=("$(printf 'new\nline%%.gltf')") # (Windows names cannot hold control characters)
for name in "${names[@]}"; do
    check $c 0 'wrote' '' '-o "$name" --number 3'
    (cd "$work/case-$cases" && "$tuftsprout" plant "$name" -o back.obj --cancel > /dev/null 2> back.txt) ||
        fail "$c: -o $name does not read back: $(cat "$work/case-$cases/back.txt")"
done
if posix; then
    grep -q '"uri":"new%0Aline%25.bin"' "$work/case-$cases/$(printf 'new\nline%%.gltf')" ||
        fail "$c: a glTF buffer's name not percent-encoded"
fi

# --- durability -------------------------------------------------------------------------
# Every file written is on the disk before it replaces its target, and its folder's new
# entry after: an fsync before each rename, and one after it.
c=durability
# (LeakSanitizer cannot run under strace.)
if posix && ! sanitized && command -v strace > /dev/null && strace -f -o /dev/null true 2> /dev/null; then
    for output in k.obj k.ply k.glb; do
        tuftsprout="strace -f -qq -e trace=fsync,rename -o trace.txt $tuftsprout" check $c 0 "wrote $output" '' \
            "-o $output --number 3"
        calls=$(grep -oE '(fsync|rename)\(' "$work/case-$cases/trace.txt" | tr -d '(' | tr '\n' ' ')
        renames=$(grep -c 'rename(' "$work/case-$cases/trace.txt")
        syncedFirst=$(echo "$calls" | sed 's/rename.*//' | grep -o fsync | wc -l)
        [ "$renames" -ge 1 ] && [ "$syncedFirst" -ge "$renames" ] && ! echo "$calls" | grep -qE 'rename( rename|$| $)' ||
            fail "$c: $output: not flushed around its rename: $calls"
    done
else
    echo "durability: no strace here (or a sanitized build), left out"
fi


echo "cli-failures: $((cases - failed)) passed, $failed failed"
[ "$failed" = 0 ]
