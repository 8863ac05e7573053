#!/bin/bash
# Plants faults in a copy of the source tree, one at a time, and records which test programs
# catch each one: a check that the tests would notice the mistakes developers really make.
# A developer tool, slow (a build and a test run per fault): not part of CI.
#
#   scripts/plant-faults.sh [FAULT-LIST] [NAME-PATTERN]
#
# FAULT-LIST (default scripts/faults.txt) holds blocks separated by blank lines:
#   name: short-name
#   file: src/path/to/file.cpp
#   find: exact text, found exactly once in the file
#   put:  its replacement (may be empty)
# with further find:/put: pairs applied in order for a fault that needs them. The text after
# "find: " and "put: " is taken literally, blanks included. NAME-PATTERN (a grep -E pattern)
# picks some faults only. The copy and its build live in $PORTEVAL_FAULTS_DIR
# (default /tmp/porteval-faults); the table goes to stdout and to results.txt there, and the
# failing test functions of each fault to details.txt. PORTEVAL_FAULTS_REVISION=<commit> takes
# the tree of that commit instead of the working tree, e.g. to compare with an older suite.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
list=$(realpath "${1:-$repo/scripts/faults.txt}")
pattern=${2:-.}
work=${PORTEVAL_FAULTS_DIR:-/tmp/porteval-faults}
case "$work" in "$repo"*) echo "the scratch folder must lie outside the repository" >&2; exit 2 ;; esac

# The working tree as it is, committed or not, without build folders; or a given commit.
rm -rf "$work"
mkdir -p "$work/src"
if [ -n "${PORTEVAL_FAULTS_REVISION:-}" ]; then
    git -C "$repo" archive "$PORTEVAL_FAULTS_REVISION" | tar -xf - -C "$work/src"
else
    (cd "$repo" && git ls-files -z --cached --others --exclude-standard \
        | while IFS= read -r -d '' f; do if [ -e "$f" ]; then printf '%s\0' "$f"; fi; done \
        | tar --null -T - -cf -) | tar -xf - -C "$work/src"
fi

build() { nice -n 10 cmake --build "$work/build" --parallel 2 < /dev/null > "$work/build.log" 2>&1; }
# The failing test programs of one run, one line, or "-" when all pass.
run_tests() {
    if [ -n "${PORTEVAL_FAULTS_WINDOWS:-}" ]; then
        run_windows_checks
        return
    fi
    rm -f "$work/build/Testing/Temporary/LastTestsFailed.log"
    nice -n 10 ctest --test-dir "$work/build" --parallel 2 --timeout 120 --output-on-failure \
        < /dev/null > "$work/ctest.log" 2>&1 || true
    local failed="$work/build/Testing/Temporary/LastTestsFailed.log"
    if [ -s "$failed" ]; then cut -d: -f2 "$failed" | sort | tr '\n' ' '; else echo "-"; fi
}

# With PORTEVAL_FAULTS_WINDOWS=1 the copy is built for Windows and checked under Wine instead
# (scripts/build-windows.sh, scripts/test-windows.sh): for faults in what only the Windows build
# runs, listed in scripts/faults-windows.txt. The failing checks stand for the test programs.
if [ -n "${PORTEVAL_FAULTS_WINDOWS:-}" ]; then
    build() { (cd "$work/src" && nice -n 10 scripts/build-windows.sh) < /dev/null > "$work/build.log" 2>&1; }
fi
run_windows_checks() {
    (cd "$work/src" && nice -n 10 scripts/test-windows.sh) < /dev/null > "$work/ctest.log" 2>&1 || true
    local failed
    failed=$(sed -n 's/^  FAIL  \(.\{1,48\}\).*/\1/p' "$work/ctest.log" | paste -sd '|' -)
    echo "${failed:--}"
}

# apply FILE: the edits listed in the environment (FIND_1, PUT_1, ...), each found exactly once.
apply() {
    python3 - "$1" <<'EOF'
import os, sys
path = sys.argv[1]
text = open(path, encoding="utf-8").read()
for i in range(1, int(os.environ["EDITS"]) + 1):
    find, put = os.environ[f"FIND_{i}"], os.environ[f"PUT_{i}"]
    if text.count(find) != 1:
        sys.exit(f"{path}: found {text.count(find)} times, not once: {find!r}")
    text = text.replace(find, put)
open(path, "w", encoding="utf-8").write(text)
EOF
}

# each_fault ACTION: ACTION for every fault of the list that the pattern picks, with name, file,
# EDITS and FIND_n / PUT_n set.
each_fault() {
    local line
    name="" file="" EDITS=0
    while IFS= read -r line || [ -n "$line" ]; do
        case "$line" in
        "#"*) ;;
        "") if_picked "$1"; name="" file="" EDITS=0 ;;
        "name: "*) name=${line#name: } ;;
        "file: "*) file=${line#file: } ;;
        "find: "*) EDITS=$((EDITS + 1)); export "FIND_$EDITS=${line#find: }" "PUT_$EDITS=" ;;
        "put: "*) export "PUT_$EDITS=${line#put: }" ;;
        "put:") export "PUT_$EDITS=" ;;
        *) echo "cannot read this line of $list: $line" >&2; exit 2 ;;
        esac
    done < "$list"
    if_picked "$1"
}
if_picked() { if [ -n "$name" ] && echo "$name" | grep -Eq -- "$pattern"; then "$1"; fi; }

# Every fault must apply before an hour goes into running them.
check() {
    export EDITS
    cp "$work/src/$file" "$work/scratch"
    apply "$work/scratch" || { echo "fault $name does not apply to $file" >&2; exit 1; }
}
each_fault check

echo "building $work/build ..."
[ -n "${PORTEVAL_FAULTS_WINDOWS:-}" ] ||
    nice -n 10 cmake -S "$work/src" -B "$work/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DBUILD_TESTING=ON > "$work/configure.log"
build || { echo "the unchanged tree does not build: see $work/build.log" >&2; exit 1; }
clean=$(run_tests)
[ "$clean" = "-" ] || { echo "tests fail without any fault: $clean (see $work/ctest.log)" >&2; exit 1; }

total=0 caught=0
results="$work/results.txt"
: > "$results"
: > "$work/details.txt"
plant() {
    local target="$work/src/$file" by
    cp "$target" "$work/original"
    export EDITS
    apply "$target"
    if build; then by=$(run_tests); else by=""; fi
    cp "$work/original" "$target" # a fresh time stamp: the next build compiles it again
    if [ -z "$by" ]; then
        by="DOES NOT BUILD (left out of the count)"
    else
        { echo "== $name"; grep -E '^(FAIL!|QFATAL)' "$work/ctest.log" | cut -c1-160 || true; } \
            >> "$work/details.txt"
        total=$((total + 1))
        if [ "$by" = "-" ]; then by="NOT CAUGHT"; else caught=$((caught + 1)); fi
    fi
    printf '%-32s %s\n' "$name" "$by" | tee -a "$results"
}
each_fault plant

echo "caught $caught of $total" | tee -a "$results"
