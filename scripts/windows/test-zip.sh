#!/bin/sh
# Phase 2 of scripts/test-windows.sh: end to end from the unpacked zip alone, in a fresh Wine
# prefix with nothing else on the search path: --version, a demo key card query on three ports, a
# key card query over tcp:// to the Linux simulator (frames byte for byte as the Linux build
# sends them), the window under Xvfb.
set -eu
# shellcheck source=../lib.sh
. "$(dirname "$0")/../lib.sh"
wine_phase

echo "== from the unpacked zip, in a fresh prefix"
unset WINEPATH
use_prefix "$work/prefix-zip"

version=$(cli --version | tr -d '\r')
check "porteval-cli.exe --version says \"$version\"" \
    test "$version" = "porteval-cli $windows_version"

# shellcheck disable=SC2016 # expanded by the shell inside
check "the manual: manual\\index.html and every page it links to" sh -c '
    cd "$1/manual" && test -s index.html || exit 1
    for page in $(grep -o "href=\"[a-z-]*\.html" index.html | cut -d\" -f2); do
        test -s "$page" || exit 1
    done' sh "$app"

cli read-keys --demo --port 1,2,3 --json | tr -d '\r' > "$work/demo.json" || true
check "a demo key card query on three ports: 3 results, each with 16 keys" \
    test "$(grep -c '"result":0' "$work/demo.json")-$(json_keys < "$work/demo.json" | wc -l)" = "3-48"

url=$(start_sim "$work/windows.jsonl" --listen tcp://127.0.0.1:0)
cli read-keys --port "$url" > /dev/null || true
url=$(start_sim "$work/linux.jsonl" --listen tcp://127.0.0.1:0)
linux_cli read-keys --port "$url" > /dev/null || true
windows_frames=$(logged_hex "$work/windows.jsonl")
check "a key card query over tcp://: 16 frames" test "$(echo "$windows_frames" | wc -l)" -eq 16
check "byte for byte the Linux build's" test "$windows_frames" = "$(logged_hex "$work/linux.jsonl")"
check "the first of them as the protocol has it" \
    test "$(echo "$windows_frames" | head -n1)" = "02 72 81 08 00 99 99 99 00 50 43 03"

# The window under Xvfb, no window manager. Wine's server, and the desktop it keeps, must start
# inside the X session, not before it: without a display from the start, Wine makes no window.
# scripts/wine-window.sh drives it: the picture, and clicks and keys where the COM checks need
# them.
wineserver -k 2> /dev/null || true
scripts/wine-window.sh "$app" build-windows/porteval-wine.png -- --demo > /dev/null 2>&1 || true
check "porteval.exe --demo shows its window (build-windows/porteval-wine.png)" \
    test -s build-windows/porteval-wine.png
exit "$failures"
