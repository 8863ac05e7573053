#!/bin/sh
# Tests the Windows build under Wine, after building it (scripts/build-windows.sh):
#   1. the Windows test programs, through ctest with Wine in front of each;
#   2. end to end from the unpacked zip alone, in a fresh Wine prefix with nothing else on the
#      search path: --version, a demo key card query on three ports, a key card query over
#      tcp:// to the Linux simulator (frames byte for byte as the Linux build sends them), the
#      window under Xvfb, and a COM port as far as Wine allows;
#   3. the installer: silent install, the installed program runs, silent uninstall removes it;
#   4. figures: the key card query over tcp:// to a paced simulator from both builds, Wine's
#      start-up, the zip's size.
# Arguments go to scripts/build-windows.sh. Leaves the window's picture in
# build-windows/porteval-wine.png.
set -eu
cd "$(dirname "$0")/.."
scripts/build-windows.sh "$@"
scripts/deps.sh --test wine wine64 fonts-wine xvfb xauth xdotool imagemagick

# The Linux simulator and command line, to talk to and to compare with.
[ -f build-test/CMakeCache.txt ] || cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build-test --parallel "$(nproc)" --target porteval-terminal-sim porteval-cli > /dev/null
sim="$PWD/build-test/src/porteval-terminal-sim"

work=$(mktemp -d)
# The Linux command line keeps its history here, not in the user's.
linux_cli() { PORTEVAL_HISTORY="$work/linux-history.jsonl" "$PWD/build-test/src/porteval-cli" "$@"; }
pids=""
cleanup() {
    for pid in $pids; do kill "$pid" 2> /dev/null || true; done
    for prefix in "$work"/prefix-*; do
        [ -d "$prefix" ] && WINEPREFIX="$prefix" wineserver -k 2> /dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
check() { # check DESCRIPTION COMMAND...: one line per check, and go on after a failure
    description="$1"
    shift
    if "$@"; then
        echo "  ok    $description"
    else
        echo "  FAIL  $description"
        failures=$((failures + 1))
    fi
}
export WINEDEBUG=-all
# No Mono or Gecko in a new prefix: nothing here needs them, and their installer would ask.
new_prefix() {
    WINEPREFIX="$1" WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i > /dev/null 2>&1
    WINEPREFIX="$1" wineserver -w
}
# start_sim LOG [ARGUMENT...]: a Linux simulator in the background; prints what to open.
start_sim() {
    log="$1"
    shift
    "$sim" --log "$log" "$@" > "$log.out" 2>&1 &
    pids="$pids $!"
    for _ in $(seq 50); do
        [ -s "$log.out" ] && break
        sleep 0.1
    done
    head -n1 "$log.out"
}
logged_hex() { sed -n 's/.*"hex":"\([^"]*\)".*/\1/p' "$1"; }
millis() { echo $(($(date +%s%N) / 1000000)); }

echo "== Windows test programs under Wine"
export WINEPREFIX="$PWD/build-windows/wine-prefix"
[ -d "$WINEPREFIX" ] || new_prefix "$WINEPREFIX"
ctest --test-dir build-windows --output-on-failure --parallel "$(nproc)" || failures=$((failures + 1))
wineserver -k 2> /dev/null || true

echo "== from the unpacked zip, in a fresh prefix"
zip=$(ls build-windows/porteval-*-windows-x64.zip)
cmake -E chdir "$work" cmake -E tar xf "$PWD/$zip"
app="$work/$(basename "$zip" .zip)"
export WINEPREFIX="$work/prefix-zip"
unset WINEPATH
new_prefix "$WINEPREFIX"
cli() { wine "$app/porteval-cli.exe" "$@"; }

version=$(cli --version | tr -d '\r')
check "porteval-cli.exe --version says \"$version\"" \
    test "$version" = "porteval-cli $(sed -n 's/^project(porteval VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"

cli read-keys --demo --port 1,2,3 --json | tr -d '\r' > "$work/demo.json" || true
check "a demo key card query on three ports: 3 results, each with 16 keys" \
    test "$(grep -c '"result":0' "$work/demo.json")-$(grep -o '"[0-9A-F]\{12\}"' "$work/demo.json" | wc -l)" = "3-48"

url=$(start_sim "$work/windows.jsonl" --listen tcp://127.0.0.1:0)
cli read-keys --port "$url" > /dev/null || true
url=$(start_sim "$work/linux.jsonl" --listen tcp://127.0.0.1:0)
linux_cli read-keys --port "$url" > /dev/null || true
windows_frames=$(logged_hex "$work/windows.jsonl")
check "a key card query over tcp://: 16 frames" test "$(echo "$windows_frames" | wc -l)" -eq 16
check "byte for byte the Linux build's" test "$windows_frames" = "$(logged_hex "$work/linux.jsonl")"
check "the first of them as the protocol has it" \
    test "$(echo "$windows_frames" | head -n1)" = "02 72 81 08 00 99 99 99 00 50 43 03"

# The window under Xvfb, no window manager: wait for its title, then take its picture. Wine's
# server, and the desktop it keeps, must start inside the X session, not before it: without a
# display from the start, Wine can make no window.
wineserver -k 2> /dev/null || true
xvfb-run -a -s "-screen 0 900x650x24" sh -c '
    wine "$1/porteval.exe" --demo &
    for _ in $(seq 150); do
        xdotool search --name "Porteval - Programa demo" > /dev/null 2>&1 && break
        sleep 0.2
    done
    sleep 1
    xdotool search --name "Porteval - Programa demo" > /dev/null 2>&1 &&
        import -window root build-windows/porteval-wine.png
    kill $! 2> /dev/null' sh "$app" > /dev/null 2>&1 || true
wineserver -k 2> /dev/null || true
check "porteval.exe --demo shows its window (build-windows/porteval-wine.png)" \
    test -s build-windows/porteval-wine.png

# COM3 on a simulator's pseudo-terminal, its line first set to 9600 baud and 2 stop bits (what a
# pseudo-terminal keeps of a line's settings): the program must open it, set 38400 8N1 while it
# waits for the answer (Qt puts the old settings back on closing), and write the exact frame.
# Wine 8.0 never completes the wait for input that Qt Serial Port's Windows backend uses, so
# the answer cannot arrive here.
pty=$(start_sim "$work/com.jsonl")
stty -F "$pty" 9600 cstopb
# Wine's own way to a serial port: it makes the COM3 device, and lists it where Windows lists its
# ports, when it starts again.
wine reg add 'HKLM\Software\Wine\Ports' /v COM3 /t REG_SZ /d "$pty" /f > /dev/null 2>&1
wineserver -k 2> /dev/null || true
check "porteval-cli.exe ports lists COM3 as Windows reports it" \
    sh -c "wine '$app/porteval-cli.exe' ports | tr -d '\r' | grep -q '^3 .*COM3'"
cli version --port 3 > /dev/null 2>&1 &
cli_pid=$!
line_while_open=""
for _ in $(seq 40); do
    sleep 0.25
    line_while_open=$(stty -F "$pty" -a | tr '\n' ' ')
    case "$line_while_open" in *"speed 38400 baud"*) break ;; esac
done
wait "$cli_pid" || true
line_is_38400_1_stop() {
    for setting in 'speed 38400 baud' ' -cstopb '; do
        echo "$line_while_open" | grep -q -- "$setting" || return 1
    done
}
check "COM3 opened and set to 38400 baud, 1 stop bit" line_is_38400_1_stop
pty=$(start_sim "$work/com-linux.jsonl")
linux_cli version --port "$pty" > /dev/null 2>&1 || true
expected=$(logged_hex "$work/com-linux.jsonl")
check "COM3: the firmware version command reached the terminal byte for byte" \
    test -n "$expected" -a "$(logged_hex "$work/com.jsonl")" = "$expected"
echo "        (its answer cannot arrive under Wine 8.0: see the README's Windows notes)"
wineserver -k 2> /dev/null || true

echo "== the installer, in a fresh prefix"
export WINEPREFIX="$work/prefix-setup"
new_prefix "$WINEPREFIX"
setup=$(ls build-windows/porteval-*-windows-x64-setup.exe)
installed="$WINEPREFIX/drive_c/Program Files/porteval"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/porteval"
wine "$setup" /S
wineserver -w
check "setup.exe /S installs into Program Files" test -f "$installed/porteval-cli.exe"
check "with Start-menu entries for the window and the simulator" \
    test -f "$menu/porteval.lnk" -a -f "$menu/porteval terminal simulator.lnk"
check "the installed porteval-cli.exe runs" \
    test "$(wine "$installed/porteval-cli.exe" --version | tr -d '\r')" = "$version"
wine "$installed/Uninstall.exe" /S
wineserver -w
check "Uninstall.exe /S removes every file it installed, and the menu entries" \
    test ! -e "$installed" -a ! -e "$menu"
wineserver -k 2> /dev/null || true

echo "== figures"
export WINEPREFIX="$work/prefix-zip"
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
time_runs() { # time_runs COMMAND...: median wall time of 5 runs, in ms
    for _ in 1 2 3 4 5; do
        start=$(millis)
        "$@" > /dev/null 2>&1 || true
        echo $(($(millis) - start))
    done | median
}
# op_ms COMMAND...: median over 5 runs of the operation's own time, from open to close, as the
# program reports it (--json "ms"): no process start-up in it.
op_ms() {
    for _ in 1 2 3 4 5; do
        "$@" --json 2> /dev/null | tr -d '\r' | sed -n 's/.*"ms":\([0-9]*\).*/\1/p'
    done | median
}
startup=$(time_runs cli --version)
echo "  Wine start-up (porteval-cli.exe --version, wall): $startup ms"
for pace in "--baud 38400" ""; do
    url=$(start_sim "$work/figures${pace:+-paced}.jsonl" --listen tcp://127.0.0.1:0 $pace)
    echo "  key card query over tcp:// to the simulator ${pace:-without pacing}:" \
        "wall Linux $(time_runs linux_cli read-keys --port "$url") ms," \
        "Windows under Wine $(time_runs cli read-keys --port "$url") ms;" \
        "open to close Linux $(op_ms linux_cli read-keys --port "$url") ms," \
        "Windows under Wine $(op_ms cli read-keys --port "$url") ms"
done
echo "  zip: $(($(stat -c %s "$zip") / 1024)) KiB; installer: $(($(stat -c %s "$setup") / 1024)) KiB"

[ "$failures" -eq 0 ] || { echo "$failures Windows check(s) failed"; exit 1; }
echo "all Windows checks passed"
