#!/usr/bin/env bash
# Builds and runs tuftsprout on a Debian 12 machine (as root), installing what it needs.
#
#   ./build.sh demo   build, then plant grass on the built-in default: grass.obj
#   ./build.sh test   build every target (x86-64, i386, Windows, sanitizers, fuzzers) and run every test this
#                     machine can run; a summary counts each step (passed, failed, skipped and why)
set -euo pipefail
trap 'echo "build.sh: stopped at line $LINENO: $BASH_COMMAND" >&2' ERR
cd "$(dirname "$0")"

base_packages=(cmake ninja-build g++ libgl-dev libegl-dev libegl-mesa0 libgl1-mesa-dri libpng-dev libfmt-dev
               nlohmann-json3-dev libcli11-dev libfltk1.3-dev libx11-dev)
test_packages=(libgtest-dev libbenchmark-dev assimp-utils g++-multilib qemu-user
               g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 clang libclang-rt-14-dev
               xvfb xauth x11-utils xdotool imagemagick clang-format python3 strace)
# Wine runs the Windows build; its 32-bit half comes from the i386 architecture.
wine_packages=(wine wine32:i386 wine64)

# Installs the Debian packages that are missing; nothing when all are there.
install_packages() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    export DEBIAN_FRONTEND=noninteractive
    update_package_lists
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Debian's mirrors are sometimes caught mid-sync ("File has unexpected size"): a list
# that failed is fetched again after a pause, a few times, before going on with what came.
update_package_lists() {
    local attempt
    for attempt in 1 2 3; do
        apt-get update -qq && return 0
        echo "build.sh: apt-get update failed (attempt $attempt of 3)" >&2
        [ "$attempt" -lt 3 ] && sleep $((attempt * 20))
    done
    return 0
}

# The 32-bit OpenGL library the i386 plug-in links against. The i386 lists come from the
# same mirrors; when they are out of step with the 64-bit ones even after fresh tries,
# the i386 step says so and is skipped rather than stopping every other step.
install_i386_gl() {
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
        update_package_lists
    fi
    local attempt
    for attempt in 1 2; do
        dpkg-query -W -f='${Status}' libgl-dev:i386 2>/dev/null | grep -q "install ok installed" && return 0
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends --no-remove libgl-dev:i386 &&
            return 0
        [ "$attempt" -lt 2 ] && { sleep 30; update_package_lists; }
    done
    return 1
}

# BUILD PRESET [CMAKE CACHE SETTINGS...]
build() {
    cmake --preset "$1" "${@:2}" >/dev/null && cmake --build --preset "$1"
}

demo() {
    install_packages "${base_packages[@]}"
    cmake --preset release -DTUFT_TESTS=OFF -DTUFT_BENCH=OFF >/dev/null
    cmake --build --preset release
    ./build/release/bin/tuftsprout plant -o grass.obj --set "Add_UV=on" --set "S_NAME=Grass"
}

# check_windows_exports PRESET TOOL-PREFIX: the DLL of that build exports _mod_descrip alone.
check_windows_exports() {
    local exports
    exports=$("$2-objdump" -p "build/$1/bin/tuftsprout.dll" |
              sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | tail -n +2 | grep -o '\] .*' | cut -c3-)
    if [ "$exports" != "_mod_descrip" ]; then
        echo "build/$1/bin/tuftsprout.dll must export _mod_descrip alone; it exports: $exports" >&2
        return 1
    fi
}

check_linux_exports() {
    local exports
    exports=$(nm -D --defined-only "$1" | awk '{print $3}')
    if [ "$exports" != "_mod_descrip" ]; then
        echo "$1 must export _mod_descrip alone; it exports: $exports" >&2
        return 1
    fi
}

# Each fuzz target for a bounded time, from a copy of its seed corpus and the hostile
# fixtures of its kind (with its dictionary, tests/fuzz/TARGET.dict, where it has one),
# with at least the coverage it had once (so that a target that stops reaching its
# reader, or reaches it uninstrumented, is noticed; counted with undefined behaviour
# fatal, which gives fewer edges: preset reaches 84 in 30 s, 110 in 31 minutes).
declare -A fuzz_least_coverage=([preset]=70 [obj]=1000 [ply]=1000 [mtl]=250 [gltf]=1000)
fuzz_target_briefly() {
    local target=$1 seconds=${FUZZ_SECONDS:-30} work coverage status=0 dictionary=()
    work=$(mktemp -d)
    cp tests/fuzz/corpus/$target/* "$work"
    cp tests/fixtures/hostile/*.$target "$work" 2>/dev/null || true
    if [ "$target" = gltf ]; then cp tests/fixtures/hostile/*.glb "$work" 2>/dev/null || true; fi
    [ -f "tests/fuzz/$target.dict" ] && dictionary=(-dict="tests/fuzz/$target.dict")
    "build/fuzz/tests/fuzz/tuft_${target}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="build/fuzz/$target-" "${dictionary[@]}" \
        "$work" > "build/fuzz/$target.log" 2>&1 || status=$?
    rm -rf "$work"
    if [ $status -ne 0 ]; then
        tail -40 "build/fuzz/$target.log" >&2
        return 1
    fi
    coverage=$(grep -o 'DONE *cov: [0-9]*' "build/fuzz/$target.log" | grep -o '[0-9]*$')
    if [ "${coverage:-0}" -lt "${fuzz_least_coverage[$target]}" ]; then
        echo "fuzz-$target: coverage ${coverage:-0}, less than ${fuzz_least_coverage[$target]}" >&2
        return 1
    fi
    echo "fuzz-$target: $(grep -o 'Done [0-9]* runs' "build/fuzz/$target.log"), coverage $coverage, no crash"
}

# The Khronos glTF-Validator, and the readers the glTF check runs (three.js,
# gltf-transform), from the npm registry, run by node.
install_gltf_validator() {
    command -v node >/dev/null || install_packages nodejs npm
    local modules=build/npm/node_modules
    [ -d $modules/gltf-validator ] && [ -d $modules/three ] && [ -d $modules/@gltf-transform/extensions ] && return 0
    mkdir -p build/npm
    npm install --prefix build/npm --no-audit --no-fund --silent gltf-validator three @gltf-transform/core \
        @gltf-transform/extensions
}

# ---- What this machine can run ------------------------------------------------------
# Machines of one kind differ: some kernels cannot run i386 programs (qemu-i386 still
# can), and Wine's 32-bit loader is an i386 program. Each is tried for real, once.
probe_machine() {
    local dir=build/probe
    mkdir -p "$dir"
    printf 'int main(void) { return 0; }\n' > "$dir/probe.c"
    can_i386=no can_qemu_i386=no can_wine32=no can_wine64=no
    if gcc -m32 "$dir/probe.c" -o "$dir/i386" 2>/dev/null; then
        "$dir/i386" 2>/dev/null && can_i386=yes
        qemu-i386 "$dir/i386" 2>/dev/null && can_qemu_i386=yes
    fi
    i686-w64-mingw32-gcc "$dir/probe.c" -o "$dir/win32.exe" &&
        timeout 600 scripts/wine.sh win32 "$dir/win32.exe" 2>/dev/null && can_wine32=yes
    x86_64-w64-mingw32-gcc "$dir/probe.c" -o "$dir/win64.exe" &&
        timeout 600 scripts/wine.sh win64 "$dir/win64.exe" 2>/dev/null && can_wine64=yes
    echo "machine: i386 programs $can_i386, qemu-i386 $can_qemu_i386, Wine 32-bit $can_wine32, Wine 64-bit $can_wine64"
}

# ---- The steps, each counted ----------------------------------------------------------
steps=(house release i386 windows32 windows64 sanitize thread fuzz)
declare -A passed failed skipped why_skipped
tally() { # STEP PASSED FAILED SKIPPED
    passed[$1]=$((${passed[$1]:-0} + $2))
    failed[$1]=$((${failed[$1]:-0} + $3))
    skipped[$1]=$((${skipped[$1]:-0} + $4))
}
# CHECK STEP COMMAND...: one check that passes or fails.
check() {
    local step=$1
    shift
    if "$@"; then tally "$step" 1 0 0; else tally "$step" 0 1 0; fi
}
# A build that fails counts as a failure of its step, whose tests then cannot run.
built() {
    if build "${@:2}"; then return 0; fi
    echo "$1: the $2 build failed" >&2
    tally "$1" 0 1 0
    return 1
}
# JUNIT_COUNT ATTRIBUTE REPORT: a count from the head of CTest's JUnit report (its
# attributes stand one a line).
junit_count() {
    tr '\n\t' '  ' < "$2" | grep -o '<testsuite [^>]*>' | head -1 | grep -o " $1=\"[0-9]*\"" | grep -o '[0-9]*' || echo 0
}
# RUN_CTEST STEP PRESET [CTEST ARGUMENTS...]: the preset's tests, counted from CTest's report.
run_ctest() {
    local step=$1 preset=$2 report
    shift 2
    report="$PWD/build/summary/$preset-$step.xml"
    mkdir -p build/summary
    rm -f "$report"
    ctest --preset "$preset" --output-junit "$report" "$@" || true
    if [ ! -s "$report" ]; then
        echo "$step: ctest --preset $preset wrote no report" >&2
        tally "$step" 0 1 0
        return
    fi
    local tests failures skips
    tests=$(junit_count tests "$report")
    failures=$(junit_count failures "$report")
    skips=$(($(junit_count skipped "$report") + $(junit_count disabled "$report")))
    tally "$step" $((tests - failures - skips)) "$failures" "$skips"
}
# SKIP_CTEST STEP PRESET WHY [CTEST ARGUMENTS...]: the tests that this machine cannot run, counted.
skip_ctest() {
    local step=$1 preset=$2 count
    count=$(ctest --preset "$preset" -N "${@:4}" | grep -c '^ *Test *#' || true)
    tally "$step" 0 0 "$count"
    why_skipped[$step]=$3
}
# A line "NAME: N passed, M failed" printed by a script, counted.
tally_printed() {
    local step=$1 line
    line=$(grep -E '^[a-z0-9-]+: [0-9]+ passed, [0-9]+ failed' "$2" | tail -1)
    if [ -z "$line" ]; then tally "$step" 0 1 0; return; fi
    tally "$step" "$(sed 's/.*: \([0-9]*\) passed.*/\1/' <<< "$line")" "$(sed 's/.* \([0-9]*\) failed.*/\1/' <<< "$line")" 0
}

step_house() {
    check house python3 scripts/check_includes.py
    check house bash -c "git ls-files '*.c' '*.cpp' '*.h' | xargs clang-format --dry-run --Werror"
}

step_release() {
    built release release -DTUFT_TESTS=ON || return 0
    check release check_linux_exports build/release/bin/tuftsprout.so
    run_ctest release release
}

# The i386 build always compiles (the host interface's layout is proven by its compiler);
# its check runs natively where the kernel can, or else under qemu-i386.
step_i386() {
    if [ "$have_i386_gl" != yes ]; then
        tally i386 0 0 1
        why_skipped[i386]="Debian's i386 package lists could not be brought in step with the 64-bit ones, so libgl-dev:i386 is missing"
        return 0
    fi
    local emulator=qemu-i386
    [ "$can_i386" = yes ] && emulator=
    built i386 i386 "-DCMAKE_CROSSCOMPILING_EMULATOR=$emulator" || return 0
    check i386 check_linux_exports build/i386/bin/tuftsprout.so
    if [ "$can_i386" = yes ] || [ "$can_qemu_i386" = yes ]; then
        run_ctest i386 i386
    else
        skip_ctest i386 i386 "this machine runs i386 programs neither natively nor under qemu-i386"
    fi
}

# STEP_WINDOWS STEP PRESET TOOL-PREFIX CAN-RUN WHY: the DLL and program built and their exports
# checked; their tests under Wine, and their outputs against Linux's, where Wine can run them.
step_windows() {
    local step=$1 preset=$2
    built "$step" "$preset" || return 0
    check "$step" check_windows_exports "$preset" "$3"
    if [ "$4" != yes ]; then
        skip_ctest "$step" "$preset" "$5"
        return 0
    fi
    run_ctest "$step" "$preset" -E same_as_linux
    tests/windows/compare.sh "$PWD/build/release/bin/tuftsprout" "$PWD/build/$preset/tests/tuftsprout-windows" |
        tee "build/summary/$step-compare.txt" || true
    tally_printed "$step" "build/summary/$step-compare.txt"
}

step_sanitize() {
    built sanitize sanitize || return 0
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest sanitize sanitize
}

step_thread() {
    built thread thread || return 0
    TSAN_OPTIONS=halt_on_error=1 run_ctest thread thread
}

step_fuzz() {
    built fuzz fuzz || return 0
    local target
    for target in preset obj ply mtl gltf; do check fuzz fuzz_target_briefly "$target"; done
}

# One line per step, then the whole; the status is 1 when any check failed.
print_summary() {
    local step total_passed=0 total_failed=0 total_skipped=0 line
    echo
    echo "== summary =="
    for step in "${steps[@]}"; do
        line="$step: ${passed[$step]:-0} passed, ${failed[$step]:-0} failed, ${skipped[$step]:-0} skipped"
        [ -n "${why_skipped[$step]:-}" ] && line+=" (${why_skipped[$step]})"
        echo "$line"
        total_passed=$((total_passed + ${passed[$step]:-0}))
        total_failed=$((total_failed + ${failed[$step]:-0}))
        total_skipped=$((total_skipped + ${skipped[$step]:-0}))
    done
    echo "total: $total_passed passed, $total_failed failed, $total_skipped skipped"
    [ "$total_failed" -eq 0 ]
}

# Every step runs, whatever the ones before it did; the summary says how each went.
test_all() {
    install_packages "${base_packages[@]}" "${test_packages[@]}"
    have_i386_gl=yes
    install_i386_gl || have_i386_gl=no
    local wine_why=""
    install_packages "${wine_packages[@]}" || install_packages wine wine64 || wine_why="; Wine could not be installed from Debian's mirrors"
    install_gltf_validator
    probe_machine
    local win32_why="this kernel cannot run i386 programs, and Wine's 32-bit loader is one$wine_why"
    [ "$can_i386" = yes ] && win32_why="Wine's 32-bit loader does not start here$wine_why"

    step_house
    step_release
    step_i386
    step_windows windows32 mingw i686-w64-mingw32 "$can_wine32" "$win32_why"
    step_windows windows64 mingw64 x86_64-w64-mingw32 "$can_wine64" "Wine's 64-bit loader does not start here$wine_why"
    step_sanitize
    step_thread
    step_fuzz
    print_summary
}

case "${1:-}" in
    demo) demo ;;
    test) test_all ;;
    *) sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
esac
