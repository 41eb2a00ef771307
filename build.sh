#!/usr/bin/env bash
# Builds and runs tuftsprout on a Debian 12 machine (as root), installing what it needs.
#
#   ./build.sh demo   build, then plant grass on the built-in default: grass.obj
#   ./build.sh test   build every target (x86-64, i386, Windows under Wine, sanitizers, fuzzers) and run all tests
set -euo pipefail
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
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The 32-bit OpenGL library the i386 plug-in links against.
install_i386_gl() {
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
        apt-get update -qq
    fi
    dpkg-query -W -f='${Status}' libgl-dev:i386 2>/dev/null | grep -q "install ok installed" ||
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends --no-remove libgl-dev:i386
}

build() {
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1"
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
    echo "windows-exports ($1): 1 passed, 0 failed"
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
fuzz_briefly() {
    local seconds=${FUZZ_SECONDS:-30} work target coverage dictionary
    build fuzz
    for target in preset obj ply mtl gltf; do
        work=$(mktemp -d)
        cp tests/fuzz/corpus/$target/* "$work"
        cp tests/fixtures/hostile/*.$target "$work" 2>/dev/null || true
        if [ "$target" = gltf ]; then cp tests/fixtures/hostile/*.glb "$work" 2>/dev/null || true; fi
        dictionary=()
        [ -f "tests/fuzz/$target.dict" ] && dictionary=(-dict="tests/fuzz/$target.dict")
        "build/fuzz/tests/fuzz/tuft_${target}_fuzz" -max_total_time="$seconds" -print_final_stats=1 "${dictionary[@]}" "$work" \
            > "build/fuzz/$target.log" 2>&1 || { tail -40 "build/fuzz/$target.log" >&2; rm -rf "$work"; return 1; }
        rm -rf "$work"
        coverage=$(grep -o 'DONE *cov: [0-9]*' "build/fuzz/$target.log" | grep -o '[0-9]*$')
        if [ "${coverage:-0}" -lt "${fuzz_least_coverage[$target]}" ]; then
            echo "fuzz-$target: coverage ${coverage:-0}, less than ${fuzz_least_coverage[$target]}" >&2
            return 1
        fi
        echo "fuzz-$target: $(grep -o 'Done [0-9]* runs' "build/fuzz/$target.log"), coverage $coverage, no crash"
    done
    echo "fuzz: 5 passed, 0 failed"
}

# The tree's house rules: which room includes which, and one layout (.clang-format).
check_house() {
    python3 scripts/check_includes.py
    git ls-files '*.c' '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
    echo "format: 1 passed, 0 failed"
}

# The Khronos glTF-Validator, from the npm registry, run by node.
install_gltf_validator() {
    command -v node >/dev/null || install_packages nodejs npm
    [ -d build/npm/node_modules/gltf-validator ] && return 0
    mkdir -p build/npm
    npm install --prefix build/npm --no-audit --no-fund --silent gltf-validator
}

test_all() {
    install_packages "${base_packages[@]}" "${test_packages[@]}"
    install_i386_gl
    install_packages "${wine_packages[@]}"
    install_gltf_validator
    check_house

    cmake --preset release -DTUFT_TESTS=ON >/dev/null
    cmake --build --preset release
    check_linux_exports build/release/bin/tuftsprout.so
    ctest --preset release

    build i386
    check_linux_exports build/i386/bin/tuftsprout.so
    ctest --preset i386

    # The Windows DLLs and programs (32- and 64-bit), their tests under Wine, and their
    # outputs against Linux's.
    for preset in mingw:i686-w64-mingw32 mingw64:x86_64-w64-mingw32; do
        build "${preset%%:*}"
        check_windows_exports "${preset%%:*}" "${preset#*:}"
        ctest --preset "${preset%%:*}" -E same_as_linux
        tests/windows/compare.sh "$PWD/build/release/bin/tuftsprout" "$PWD/build/${preset%%:*}/tests/tuftsprout-windows"
    done

    build sanitize
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset sanitize

    build thread
    TSAN_OPTIONS=halt_on_error=1 ctest --preset thread

    fuzz_briefly
}

case "${1:-}" in
    demo) demo ;;
    test) test_all ;;
    *) sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
esac
