#!/usr/bin/env bash
# A long fuzzing campaign: each named target (default: all) runs until it has used
# CPU_MINUTES of processor time (default 31), from a copy of its seed corpus and the
# hostile fixtures of its kind, with its dictionary (tests/fuzz/TARGET.dict) where it has
# one. Budgeting CPU rather than wall time keeps the promise
# on a machine that is busy with other work. Logs go to build/fuzz/long-TARGET.log;
# the last line of each is its summary. Needs the fuzz preset built.
#
#   scripts/fuzz_long.sh [-m CPU_MINUTES] [TARGET ...]
set -euo pipefail
cd "$(dirname "$0")/.."

minutes=31
if [ "${1:-}" = -m ]; then minutes=$2; shift 2; fi
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(preset obj ply mtl gltf)

# Processor seconds (user and system) used so far by process $1.
cpu_seconds() {
    local fields
    read -ra fields < <(sed 's/.*) //' "/proc/$1/stat")
    echo $(((fields[11] + fields[12]) / $(getconf CLK_TCK)))
}

seed_corpus() {
    local target=$1 work=$2
    cp tests/fuzz/corpus/"$target"/* "$work"
    cp tests/fixtures/hostile/*."$target" "$work" 2>/dev/null || true
    if [ "$target" = gltf ]; then cp tests/fixtures/hostile/*.glb "$work" 2>/dev/null || true; fi
}

run_target() {
    local target=$1 work log pid used=0 status=0
    work=$(mktemp -d)
    log=build/fuzz/long-$target.log
    seed_corpus "$target" "$work"
    local dictionary=()
    [ -f "tests/fuzz/$target.dict" ] && dictionary=(-dict="tests/fuzz/$target.dict")
    "build/fuzz/tests/fuzz/tuft_${target}_fuzz" -print_final_stats=1 -timeout=25 -rss_limit_mb=2048 \
        -artifact_prefix=build/fuzz/long-"$target"- \
        "${dictionary[@]}" "$work" > "$log" 2>&1 &
    pid=$!
    while kill -0 "$pid" 2>/dev/null && [ "$used" -lt $((minutes * 60)) ]; do
        sleep 10
        used=$(cpu_seconds "$pid" 2>/dev/null || echo "$used")
    done
    kill -INT "$pid" 2>/dev/null || true
    wait "$pid" || status=$?
    rm -rf "$work"
    # libFuzzer exits 0 after an interrupt it asked for, and 1 or more after a finding.
    if grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|SUMMARY:' "$log" ||
       { [ "$status" -ne 0 ] && [ "$status" -ne 130 ] && [ "$status" -ne 72 ]; }; then
        echo "$target: FAILED (exit $status), see $log" | tee -a "$log"
        return 1
    fi
    local runs coverage
    runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$')
    coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')
    echo "$target: $((used / 60)) CPU-minutes, $runs runs, coverage $coverage, no crash, leak or timeout" |
        tee -a "$log"
}

failed=0
for target in "${targets[@]}"; do run_target "$target" || failed=1; done
exit $failed
