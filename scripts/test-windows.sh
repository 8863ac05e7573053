#!/bin/sh
# Tests the Windows build under Wine 10, after building it (scripts/build-windows.sh), in the
# Debian 13 root unless this system is Debian 13:
#   1. the Windows test programs, through ctest with Wine in front of each;
#   2. end to end from the unpacked zip alone, in a fresh Wine prefix with nothing else on the
#      search path: --version, a demo key card query on three ports, a key card query over
#      tcp:// to the Linux simulator (frames byte for byte as the Linux build sends them), the
#      window under Xvfb;
#   3. COM3 end to end: every reader operation of porteval-cli.exe against a simulated terminal
#      on a pseudo-terminal, byte for byte as the Linux build sends them; a silent terminal,
#      intermediate codes, a terminal that vanishes, bytes left in the line; porteval.exe reading
#      a key card on COM3 and ending a wait with Escape; porteval-terminal-sim.exe on COM4
#      answering the Linux porteval-cli through a pair of pseudo-terminals;
#   4. the installer: silent install, the installed program runs, silent uninstall removes it;
#   5. figures (bench/wine-figures.sh): Wine's start-up and the key card query on COM3 from
#      both builds against one paced terminal.
# Arguments go to scripts/build-windows.sh. Leaves the window's pictures in build-windows/.
#
# Where Wine differs from Windows, the check says so by name ("Wine: ..."). One difference is
# bridged for the COM port checks: a pseudo-terminal has no modem lines, and Wine ends every
# wait for serial input on a device that has none; tests/wine/pty_modem_lines.c, preloaded into
# Wine, answers for them as a real adapter's lines would.
set -eu
cd "$(dirname "$0")/.."
. scripts/windows-qt-path.sh
run_on_debian13 scripts/test-windows.sh "$@"
scripts/build-windows.sh "$@"
scripts/deps.sh --test wine wine64 fonts-wine xvfb xauth xdotool imagemagick socat

# The Linux simulator and command line, to talk to and to compare with, built on this system.
linux_build="${PORTEVAL_BUILD_DIR:-build-debian13}"
[ -f "$linux_build/CMakeCache.txt" ] ||
    cmake -S . -B "$linux_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build "$linux_build" --parallel "$(nproc)" --target porteval-terminal-sim porteval-cli \
    > /dev/null
sim="$PWD/$linux_build/src/porteval-terminal-sim"

work=$(mktemp -d)
# LD_PRELOAD splits its list at blanks: the library goes where the checkout's path cannot put one.
preload="$work/pty-modem-lines.so"
cc -shared -fPIC -O2 -Wall -Wextra -o "$preload" tests/wine/pty_modem_lines.c -ldl
# The Linux command line keeps its history here, not in the user's.
linux_cli_program="$PWD/$linux_build/src/porteval-cli"
linux_cli() { PORTEVAL_HISTORY="$work/linux-history.jsonl" "$linux_cli_program" "$@"; }
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
# Wine 10 wants a runtime folder of the user's, which a root has no session to make.
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
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
json_field() { sed -n "s/.*\"$1\":\([0-9]*\).*/\1/p" | head -n1; }
json_keys() { grep -o '"[0-9A-F]\{12\}"' | tr -d '"'; }

echo "== Windows test programs under Wine"
export WINEPREFIX="$PWD/build-windows/wine-prefix"
[ -d "$WINEPREFIX" ] || new_prefix "$WINEPREFIX"
ctest --test-dir build-windows --output-on-failure --parallel "$(nproc)" || failures=$((failures + 1))
wineserver -k 2> /dev/null || true

echo "== from the unpacked zip, in a fresh prefix"
. scripts/windows-release-name.sh
cmake -E chdir "$work" cmake -E tar xf "$PWD/build-windows/$windows_zip"
app="$work/$windows_release"
export WINEPREFIX="$work/prefix-zip"
unset WINEPATH
new_prefix "$WINEPREFIX"
cli() { wine "$app/porteval-cli.exe" "$@"; }

version=$(cli --version | tr -d '\r')
check "porteval-cli.exe --version says \"$version\"" \
    test "$version" = "porteval-cli $windows_version"

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

echo "== COM3 on a simulated terminal's pseudo-terminal"
# From here on Wine runs with the modem-line answers preloaded, its server included.
wineserver -k 2> /dev/null || true
export LD_PRELOAD="$preload"
# link_com N PTY: COMn is PTY, as Wine learns it from its Ports key when its server starts.
link_com() {
    wine reg add 'HKLM\Software\Wine\Ports' /v "COM$1" /t REG_SZ /d "$2" /f > /dev/null 2>&1
    wineserver -k 2> /dev/null || true
}
check "Wine: a pseudo-terminal has no modem lines; the tests' preload library answers for them" \
    test -s "$preload"

# Every operation from both builds, each against its own simulator: the Windows one on COM3.
link_com 3 "$(start_sim "$work/com.jsonl")"
linux_pty=$(start_sim "$work/com-linux.jsonl")
check "porteval-cli.exe ports lists COM3 as Windows reports it" \
    sh -c 'wine "$1/porteval-cli.exe" ports | tr -d "\r" | grep -q "^3 .*COM3"' sh "$app"
expected_keys=$(linux_cli read-keys --port "$linux_pty" --json | json_keys)
windows_keys=$(cli read-keys --port 3 --json | tr -d '\r' | json_keys)
check "COM3: the key card query reads the 16 keys right" \
    test "$(echo "$windows_keys" | wc -l)-$windows_keys" = "16-$expected_keys"
# A check that fails goes on to the next: what fails here shows in the checks below.
(cd "$work" && cli read-keys --port COM3 -o keys.txt > /dev/null) || true
(cd "$work" && linux_cli read-keys --port "$linux_pty" -o linux-keys.txt > /dev/null) || true
operation_results=""
for operation in "write-master --old-key 5A17C3E09B42" "write-messages --slot 2 --text Planta_2" \
    "write-config --uart1 145 --mode 2 --block 9" "version" "beep"; do
    case "$operation" in
    write-*) windows_keys="--keys keys.txt" linux_keys="--keys linux-keys.txt" ;;
    *) windows_keys="" linux_keys="" ;;
    esac
    # shellcheck disable=SC2086 # each operation's words are its arguments
    windows=$(cd "$work" && cli $operation $windows_keys --port 3 --json 2> /dev/null | tr -d '\r')
    # shellcheck disable=SC2086
    (cd "$work" && linux_cli $operation $linux_keys --port "$linux_pty" --json) > /dev/null 2>&1
    operation_results="$operation_results $(echo "$windows" | json_field result)"
done
check "COM3: master, messages and configuration card, version and beep all end with 0" \
    test "$operation_results" = " 0 0 0 0 0"
windows_frames=$(logged_hex "$work/com.jsonl")
check "COM3: $(echo "$windows_frames" | wc -l) frames, byte for byte the Linux build's" \
    test "$windows_frames" = "$(logged_hex "$work/com-linux.jsonl")"
check "COM3: they hold the key download of the master card, with the old key in sector 1's place" \
    sh -c 'echo "$1" | grep -q "^02 73 81 67 00 99 99 99 .* 5A 17 C3 E0 9B 42 "' sh "$windows_frames"
check "COM3: the version answered is the terminal's" \
    sh -c 'cd "$1" && wine "$2/porteval-cli.exe" version --port 3 | tr -d "\r" | grep -q "PTV-SIM 1.0"' \
    sh "$work" "$app"

link_com 3 "$(start_sim "$work/silent.jsonl" --on 0xF3 silent)"
started=$(millis)
result=$(cli version --port 3 --json 2> /dev/null | tr -d '\r' | json_field result)
took=$(($(millis) - started))
check "COM3: a silent terminal ends with 31 after about 2 s ($took ms with Wine's start-up)" \
    test "$result" = 31 -a "$took" -ge 1900 -a "$took" -lt 5000

# An intermediate code after 1 s, the answer 1.8 s later: past the first 2 s, so it is only
# taken if the intermediate code gave the terminal its 15 s more.
link_com 3 "$(start_sim "$work/inter.jsonl" --on 0xF3 inter=5 gap=1000 then answer gap=1800)"
output=$(cli version --port 3 --json --lang 2 2> /dev/null | tr -d '\r')
check "COM3: an intermediate code extends the wait, and the answer after it is taken" \
    sh -c 'echo "$1" | grep -q "\"result\":0" && echo "$1" | grep -q "Verifying card"' sh "$output"

link_com 3 "$(start_sim "$work/vanish.jsonl" --on 0x72:7 vanish)"
started=$(millis)
output=$(cli read-keys --port 3 --json --lang 2 2> /dev/null | tr -d '\r')
took=$(($(millis) - started))
check "COM3: a terminal that vanishes mid-wait is said lost ($took ms with Wine's start-up)" \
    sh -c 'echo "$1" | grep -q "Port lost" && test "$2" -lt 1900' sh "$output" "$took"

# A query stopped while its first answer is still to come leaves that answer in the line, and
# Windows keeps it across the port's closing and opening: the next query must set it aside.
link_com 3 "$(start_sim "$work/stale.jsonl" --on '0x72#1' answer gap=500)"
wine "$app/porteval-cli.exe" read-keys --port 3 > /dev/null 2>&1 &
stopped=$!
for _ in $(seq 100); do
    [ -s "$work/stale.jsonl" ] && break
    sleep 0.05
done
# Every Windows program of the prefix ends at once, as one killed would.
wineserver -k 2> /dev/null || true
wait "$stopped" 2> /dev/null || true
sleep 1
windows_keys=$(cli read-keys --port 3 --json | tr -d '\r' | json_keys)
check "COM3: an answer left in the line by a query stopped mid-way is set aside, the keys in order" \
    test "$windows_keys" = "$expected_keys"

# The window: port 3, Abrir COM, GetInfoKeyCard; then, on a terminal that keeps answering "wait
# for a card", Escape ends the wait. What it did is in its history.
wineserver -k 2> /dev/null || true
link_com 3 "$(start_sim "$work/window.jsonl")"
history="$work/window-history.jsonl"
PORTEVAL_HISTORY="Z:$history" scripts/wine-window.sh "$app" build-windows/porteval-wine-com3.png \
    -- --port-box 3 --click OpenCOM --click GetInfoKeyCard --wait 3 > /dev/null 2>&1 || true
check "porteval.exe on COM3: GetInfoKeyCard sent its 16 frames (build-windows/porteval-wine-com3.png)" \
    test "$(logged_hex "$work/window.jsonl" | wc -l)" -eq 16
check "porteval.exe on COM3: GetInfoKeyCard[16]: OK on record" \
    grep -q '"operation":"read-keys".*"result":0' "$history"
link_com 3 "$(start_sim "$work/escape.jsonl" --on 0x72 inter=1 then inter=1 gap=1000 \
    then inter=1 gap=1000 then inter=1 gap=1000 then inter=1 gap=1000)"
rm -f "$history"
PORTEVAL_HISTORY="Z:$history" scripts/wine-window.sh "$app" build-windows/porteval-wine-escape.png \
    -- --port-box 3 --click OpenCOM --click GetInfoKeyCard --wait 2 --key Escape --wait 1 \
    > /dev/null 2>&1 || true
check "porteval.exe on COM3: Escape ends a wait that the terminal kept going, as a time-out" \
    grep -q '"operation":"read-keys".*"result":31' "$history"

# The simulator as the Windows program on COM4, the Linux command line at the other end of a
# pair of pseudo-terminals: a null-modem cable between two serial ports.
socat pty,raw,echo=0,link="$work/com4" pty,raw,echo=0,link="$work/linux-end" 2> /dev/null &
pids="$pids $!"
for _ in $(seq 50); do
    [ -e "$work/linux-end" ] && break
    sleep 0.1
done
link_com 4 "$(readlink -f "$work/com4")"
wine "$app/porteval-terminal-sim.exe" --port COM4 > "$work/sim-com4.out" 2>&1 &
pids="$pids $!"
for _ in $(seq 100); do
    [ -s "$work/sim-com4.out" ] && break
    sleep 0.1
done
linux_keys=$(linux_cli read-keys --port "$(readlink -f "$work/linux-end")" --json | json_keys)
check "porteval-terminal-sim.exe on COM4 answers the Linux porteval-cli: the 16 keys right" \
    test "$linux_keys" = "$expected_keys"
unset LD_PRELOAD
wineserver -k 2> /dev/null || true

echo "== the installer, in a fresh prefix"
export WINEPREFIX="$work/prefix-setup"
new_prefix "$WINEPREFIX"
setup="build-windows/$windows_setup"
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
WINEPREFIX="$work/prefix-zip" bench/wine-figures.sh "$app" "$sim" "$linux_cli_program" \
    "$preload" "$work" || failures=$((failures + 1))
echo "  zip: $(($(stat -c %s "build-windows/$windows_zip") / 1024)) KiB;" \
    "installer: $(($(stat -c %s "$setup") / 1024)) KiB"

[ "$failures" -eq 0 ] || { echo "$failures Windows check(s) failed"; exit 1; }
echo "all Windows checks passed"
