#!/bin/sh
# Cross-builds porteval for 64-bit Windows into build-windows/: the three programs, the test
# programs (run under Wine by scripts/test-windows.sh), and the two release files,
#   build-windows/porteval-VERSION-windows-x64.zip        unpack anywhere and run
#   build-windows/porteval-VERSION-windows-x64-setup.exe  installer (silent with /S)
# First builds Qt for Windows with scripts/windows-toolchain.sh when it is not built yet (about
# 32 minutes); its options (--serialport-source FILE) are passed on.
set -eu
cd "$(dirname "$0")/.."
scripts/windows-toolchain.sh "$@"
. scripts/windows-qt-path.sh
# makensis for the installer.
scripts/deps.sh nsis

build=build-windows
mkdir -p "$build"
"$windows_qt/bin/qt-cmake" -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$PWD/scripts/wine-run.sh" > "$build/configure.log" 2>&1 || {
    cat "$build/configure.log"
    exit 1
}
cmake --build "$build" --parallel "$(nproc)"
# One generator at a time, each into its own file name.
(cd "$build" && rm -f porteval-*-windows-x64* && cpack -G ZIP > cpack-zip.log && cpack -G NSIS > cpack-nsis.log) || {
    cat "$build"/cpack-*.log
    exit 1
}

zip=$(ls "$build"/porteval-*-windows-x64.zip)
setup=$(ls "$build"/porteval-*-windows-x64-setup.exe)
zip_bytes=$(stat -c %s "$zip")
limit=$((20 * 1024 * 1024))
echo "$zip: $((zip_bytes / 1024)) KiB"
echo "$setup: $(($(stat -c %s "$setup") / 1024)) KiB"
[ "$zip_bytes" -le "$limit" ] || { echo "the zip is over 20 MB" >&2; exit 1; }
