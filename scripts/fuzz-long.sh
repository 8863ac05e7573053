#!/bin/bash
# Runs every libFuzzer target for MINUTES minutes (default 20), starting from the corpus kept in
# fuzz/corpus/<target>/ and the hand-written seeds in fuzz/seeds/<target>/, then merges what the
# run found back into fuzz/corpus/<target>/, minimised, so that the coverage of a long run is
# kept for CI and the next run. A developer tool, not part of CI; commit the corpus afterwards.
#
#   scripts/fuzz-long.sh [MINUTES]
#
# PORTEVAL_FUZZ_JOBS targets run at a time (default 2, one a core on the usual 2-core machine).
# Logs, findings (crash-*, leak-*, timeout-*) and the run's own corpus go to build-fuzz/long/.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-20}
jobs=${PORTEVAL_FUZZ_JOBS:-2}
case "$minutes" in '' | *[!0-9]*) echo "usage: $0 [MINUTES]" >&2; exit 2 ;; esac

scripts/deps.sh clang libclang-rt-14-dev
cmake -S . -B build-fuzz -G Ninja -DPORTEVAL_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
nice cmake --build build-fuzz --parallel "$jobs"

out=build-fuzz/long
mkdir -p "$out"
targets=$(cd fuzz && for source in fuzz_*.cpp; do echo "${source%.cpp}"; done)

# run NAME: the fuzzing itself, then the merge into a fresh, minimised corpus. The seeds sit in
# the merge's output folder first, so that only what they do not already reach is added, and
# are taken out again afterwards: they stay in fuzz/seeds/ under their own names. The merge
# keeps an input for every edge reached, not for every count of passes through an edge: the same
# coverage in a tenth of the files, and the next run finds the counts again within seconds.
# shellcheck disable=SC2317 # run by xargs, through bash -c
run() {
    local name=$1 fuzzer=build-fuzz/fuzz/$1 status=0
    rm -rf "$out/corpus-$name"
    mkdir -p "$out/corpus-$name" "fuzz/corpus/$name"
    nice "$fuzzer" -max_total_time=$((minutes * 60)) -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$out/$name-" "$out/corpus-$name" "fuzz/corpus/$name" \
        "fuzz/seeds/$name" > "$out/$name.log" 2>&1 || status=$?
    echo "$status" > "$out/$name.status"
    local merged=$out/merged-$name
    rm -rf "$merged"
    mkdir -p "$merged"
    cp "fuzz/seeds/$name"/* "$merged/"
    if ! nice "$fuzzer" -merge=1 -use_counters=0 -rss_limit_mb=2048 "$merged" "fuzz/corpus/$name" \
        "$out/corpus-$name" > "$out/$name-merge.log" 2>&1; then
        echo "merge failed: fuzz/corpus/$name left as it was (see $out/$name-merge.log)" \
            > "$out/$name.status"
        return
    fi
    (cd "fuzz/seeds/$name" && ls) | while read -r seed; do rm -f "$merged/$seed"; done
    rm -rf "fuzz/corpus/$name"
    mv "$merged" "fuzz/corpus/$name"
}

export -f run
export minutes out
echo "$(echo "$targets" | wc -w) targets, $minutes min each, $jobs at a time"
# shellcheck disable=SC2016 # "$1" is the inner bash's
echo "$targets" | xargs -P "$jobs" -I{} bash -c 'run "$1"' _ {}

# One line a target: executions, edges covered at the end, kept corpus, and any finding.
failed=0
printf '%-16s %12s %8s %8s %s\n' target executions edges corpus finding
for name in $targets; do
    log=$out/$name.log
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    edges=$(grep -oE 'cov: [0-9]+' "$log" | tail -n 1 | cut -d' ' -f2 || true)
    files=$(find "fuzz/corpus/$name" -type f | wc -l)
    finding=-
    if [ "$(cat "$out/$name.status")" != 0 ]; then
        finding=$(grep -m1 -E 'ERROR: |SUMMARY: ' "$log" | cut -c1-100 || true)
        finding="${finding:-$(cat "$out/$name.status")}; $(grep -oE 'Test unit written to [^ ]+' \
            "$log" | tail -n 1 || true)"
        failed=1
    fi
    printf '%-16s %12s %8s %8s %s\n' "$name" "${execs:-?}" "${edges:-?}" "$files" "$finding"
done
du -sh fuzz/corpus
exit "$failed"
