#!/bin/sh
# Phase 4 of scripts/test-windows.sh: the installer in a fresh prefix: setup.exe /S installs into
# Program Files with Start-menu entries, the installed program runs, Uninstall.exe /S removes it.
set -eu
# shellcheck source=../lib.sh
. "$(dirname "$0")/../lib.sh"
wine_phase

echo "== the installer, in a fresh prefix"
unset WINEPATH
use_prefix "$work/prefix-setup"
installed="$WINEPREFIX/drive_c/Program Files/porteval"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/porteval"
wine "build-windows/$windows_setup" /S
wineserver -w
check "setup.exe /S installs into Program Files" test -f "$installed/porteval-cli.exe"
check "with Start-menu entries for the window, the simulator and the manual" \
    test -f "$menu/porteval.lnk" -a -f "$menu/porteval terminal simulator.lnk" \
    -a -f "$menu/porteval manual.lnk" -a -f "$installed/manual/index.html"
check "the installed porteval-cli.exe runs" \
    test "$(wine "$installed/porteval-cli.exe" --version | tr -d '\r')" = "porteval-cli $windows_version"
wine "$installed/Uninstall.exe" /S
wineserver -w
check "Uninstall.exe /S removes every file it installed, and the menu entries" \
    test ! -e "$installed" -a ! -e "$menu"
wineserver -k 2> /dev/null || true
exit "$failures"
