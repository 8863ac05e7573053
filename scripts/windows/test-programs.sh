#!/bin/sh
# Phase 1 of scripts/test-windows.sh: the Windows test programs, through ctest with Wine in front
# of each (scripts/wine-run.sh), in a prefix kept in build-windows/.
set -eu
# shellcheck source=../lib.sh
. "$(dirname "$0")/../lib.sh"
wine_phase

echo "== Windows test programs under Wine"
use_prefix "$PWD/build-windows/wine-prefix"
ctest --test-dir build-windows --output-on-failure --parallel "$(nproc)" || failures=1
wineserver -k 2> /dev/null || true
exit "$failures"
