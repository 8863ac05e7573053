#!/bin/sh
# Tests the Windows build under Wine 10, after building it (scripts/build-windows.sh), in the
# Debian 13 root unless this system is Debian 13: the phases in scripts/windows/ in order (the
# test programs through ctest; the unpacked zip alone; COM3 and COM4 end to end; the installer),
# then figures (bench/wine-figures.sh). Arguments go to scripts/build-windows.sh. Leaves the
# window's pictures in build-windows/. Each check prints one line, "  ok    DESCRIPTION" or
# "  FAIL  DESCRIPTION", and a failed check does not stop the others.
#
# Where Wine differs from Windows, the check says so by name ("Wine: ..."). One difference is
# bridged for the COM port checks: a pseudo-terminal has no modem lines, and Wine ends every
# wait for serial input on a device that has none; tests/wine/pty_modem_lines.c, preloaded into
# Wine, answers for them as a real adapter's lines would.
set -eu
cd "$(dirname "$0")/.."
# shellcheck source=lib.sh
. scripts/lib.sh
run_on_debian13 scripts/test-windows.sh "$@"
scripts/build-windows.sh "$@"
# shellcheck disable=SC2086 # the list is words
scripts/deps.sh --test $wine_test_packages
windows_names

# The Linux simulator and command line, to talk to and to compare with, built on this system.
linux_build="${PORTEVAL_BUILD_DIR:-build-debian13}"
[ -f "$linux_build/CMakeCache.txt" ] ||
    cmake -S . -B "$linux_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build "$linux_build" --parallel "$(nproc)" --target porteval-terminal-sim porteval-cli \
    > /dev/null

# What every phase is given: a scratch folder, the unpacked zip, the Linux programs, the
# modem-line library (LD_PRELOAD splits its list at blanks: it goes where the checkout's path
# cannot put one).
work=$(mktemp -d)
app="$work/$windows_release"
sim="$PWD/$linux_build/src/porteval-terminal-sim"
linux_cli_program="$PWD/$linux_build/src/porteval-cli"
preload="$work/pty-modem-lines.so"
export work app sim linux_cli_program preload
cleanup() {
    for prefix in "$work"/prefix-*; do
        [ ! -d "$prefix" ] || WINEPREFIX="$prefix" wineserver -k 2> /dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
cc -shared -fPIC -O2 -Wall -Wextra -o "$preload" tests/wine/pty_modem_lines.c -ldl
cmake -E chdir "$work" cmake -E tar xf "$PWD/build-windows/$windows_zip"
export WINEDEBUG=-all
# Wine 10 wants a runtime folder of the user's, which a root has no session to make.
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# Each phase ends with the number of its checks that failed. PORTEVAL_WINDOWS_PHASES picks some
# (test-com needs test-zip's prefix before it).
failures=0
for phase in ${PORTEVAL_WINDOWS_PHASES:-test-programs test-zip test-com test-installer}; do
    "scripts/windows/$phase.sh" || failures=$((failures + $?))
done

echo "== figures"
WINEPREFIX="$work/prefix-zip" bench/wine-figures.sh "$app" "$sim" "$linux_cli_program" \
    "$preload" "$work" || failures=$((failures + 1))
echo "  zip: $(($(stat -c %s "build-windows/$windows_zip") / 1024)) KiB;" \
    "installer: $(($(stat -c %s "build-windows/$windows_setup") / 1024)) KiB"

[ "$failures" -eq 0 ] || { echo "$failures Windows check(s) failed"; exit 1; }
echo "all Windows checks passed"
