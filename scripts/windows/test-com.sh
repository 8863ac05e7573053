#!/bin/sh
# shellcheck disable=SC1010,SC2016 # "then" is a word of the simulator's answers; sh -c bodies expand inside
# Phase 3 of scripts/test-windows.sh: COM3 end to end, in the unpacked zip's prefix: every reader
# operation of porteval-cli.exe against a simulated terminal on a pseudo-terminal, byte for byte
# as the Linux build sends them; a silent terminal, intermediate codes, a terminal that vanishes,
# bytes left in the line; porteval.exe reading a key card on COM3 and ending a wait with Escape;
# porteval-terminal-sim.exe on COM4 answering the Linux porteval-cli through a pair of
# pseudo-terminals.
set -eu
# shellcheck source=../lib.sh
. "$(dirname "$0")/../lib.sh"
wine_phase

json_field() { sed -n "s/.*\"$1\":\([0-9]*\).*/\1/p" | head -n1; }
# link_com N PTY: COMn is PTY, as Wine learns it from its Ports key when its server starts.
link_com() {
    wine reg add 'HKLM\Software\Wine\Ports' /v "COM$1" /t REG_SZ /d "$2" /f > /dev/null 2>&1
    wineserver -k 2> /dev/null || true
}

echo "== COM3 on a simulated terminal's pseudo-terminal"
unset WINEPATH
use_prefix "$work/prefix-zip"
# From here on Wine runs with the modem-line answers preloaded, its server included.
wineserver -k 2> /dev/null || true
export LD_PRELOAD="$preload"
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

# Timed from a running Wine server: its start after link_com alone takes about 1.5 s here.
link_com 3 "$(start_sim "$work/vanish.jsonl" --on 0x72:7 vanish)"
cli --version > /dev/null 2>&1 || true
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
wait_for -s "$work/stale.jsonl" 100 0.05
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
keep_pid $!
wait_for -e "$work/linux-end" 50 0.1
link_com 4 "$(readlink -f "$work/com4")"
wine "$app/porteval-terminal-sim.exe" --port COM4 > "$work/sim-com4.out" 2>&1 &
keep_pid $!
wait_for -s "$work/sim-com4.out" 100 0.1
linux_keys=$(linux_cli read-keys --port "$(readlink -f "$work/linux-end")" --json | json_keys)
check "porteval-terminal-sim.exe on COM4 answers the Linux porteval-cli: the 16 keys right" \
    test "$linux_keys" = "$expected_keys"
unset LD_PRELOAD
wineserver -k 2> /dev/null || true
exit "$failures"
