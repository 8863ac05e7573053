#!/bin/sh
# Figures for the Windows build under Wine 10, printed by scripts/test-windows.sh: Wine's own
# start-up, and the key card query on COM3 from the Windows build and from the Linux build, in
# turns, against one simulated terminal that paces its bytes at 38400 baud on one
# pseudo-terminal (COM3 for the one, its /dev/pts path for the other). Medians of 5 runs.
#   bench/wine-figures.sh APP SIMULATOR LINUX_CLI PRELOAD WORK
# APP is the unpacked zip's folder, PRELOAD the tests' modem-line library, WORK a scratch
# folder; WINEPREFIX is the prefix to use.
set -eu
# shellcheck source=../scripts/lib.sh
. "$(dirname "$0")/../scripts/lib.sh"
app="$1"
sim="$2"
linux_cli="$3"
preload="$4"
work="$5"
export WINEDEBUG=-all

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
wall_ms() { # wall_ms COMMAND...: the run's wall time in ms
    start=$(millis)
    "$@" > /dev/null 2>&1 || true
    echo $(($(millis) - start))
}
# The operation's own time, from open to close, as the program reports it: no start-up in it.
operation_ms() { "$@" --json 2> /dev/null | tr -d '\r' | sed -n 's/.*"ms":\([0-9]*\).*/\1/p'; }

startup=$(for _ in 1 2 3 4 5; do wall_ms wine "$app/porteval-cli.exe" --version; done | median)
echo "  Wine start-up (porteval-cli.exe --version, wall): $startup ms"

"$sim" --baud 38400 --log "$work/paced.jsonl" > "$work/paced.out" 2>&1 &
sim_pid=$!
trap 'kill "$sim_pid" 2> /dev/null || true' EXIT
wait_for -s "$work/paced.out" 50 0.1
pty=$(head -n1 "$work/paced.out")
LD_PRELOAD="$preload" wine reg add 'HKLM\Software\Wine\Ports' /v COM3 /t REG_SZ /d "$pty" /f \
    > /dev/null 2>&1
wineserver -k 2> /dev/null || true
windows() { LD_PRELOAD="$preload" wine "$app/porteval-cli.exe" read-keys --port 3 "$@"; }
linux() { PORTEVAL_HISTORY="$work/figures-history.jsonl" "$linux_cli" read-keys --port "$pty" "$@"; }

: > "$work/figures.txt"
for _ in 1 2 3 4 5; do
    echo "windows-wall $(wall_ms windows)" >> "$work/figures.txt"
    echo "linux-wall $(wall_ms linux)" >> "$work/figures.txt"
    echo "windows-op $(operation_ms windows)" >> "$work/figures.txt"
    echo "linux-op $(operation_ms linux)" >> "$work/figures.txt"
done
figure() { sed -n "s/^$1 //p" "$work/figures.txt" | median; }
echo "  key card query on COM3, terminal paced at 38400 baud:" \
    "wall Windows under Wine $(figure windows-wall) ms, Linux $(figure linux-wall) ms;" \
    "open to close Windows under Wine $(figure windows-op) ms, Linux $(figure linux-op) ms"
frames=$(grep -c '"name":"GetInfoKeyCard"' "$work/paced.jsonl")
[ "$frames" -eq 320 ] || { echo "  the terminal saw $frames key queries, not 20 x 16" >&2; exit 1; }
