#!/bin/sh
# Cross-builds porteval for 64-bit Windows into build-windows/: the three programs, the test
# programs (run under Wine by scripts/test-windows.sh), and the two release files,
#   build-windows/porteval-VERSION-windows-x64.zip        unpack anywhere and run
#   build-windows/porteval-VERSION-windows-x64-setup.exe  installer (silent with /S)
# with Debian 13's mingw-w64, in the Debian 13 root unless this system is Debian 13. First builds
# Qt for Windows with scripts/windows-toolchain.sh when it is not built yet (about 25 minutes);
# its options (--serialport-source FILE) are passed on.
set -eu
cd "$(dirname "$0")/.."
# shellcheck source=lib.sh
. scripts/lib.sh
run_on_debian13 scripts/build-windows.sh "$@"
scripts/windows-toolchain.sh "$@"
windows_names
# makensis for the installer.
# shellcheck disable=SC2086 # the list is words
scripts/deps.sh $windows_release_packages

build="build-windows"
mkdir -p "$build"
"$windows_qt/bin/qt-cmake" -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$PWD/scripts/wine-run.sh" > "$build/configure.log" 2>&1 || {
    cat "$build/configure.log"
    exit 1
}
cmake --build "$build" --parallel "$(nproc)"
# One generator at a time, each into its own file name; files of other versions stay.
rm -f "$build/$windows_zip" "$build/$windows_setup"
(cd "$build" && cpack -G ZIP > cpack-zip.log && cpack -G NSIS > cpack-nsis.log) || {
    cat "$build"/cpack-*.log
    exit 1
}

zip_bytes=$(stat -c %s "$build/$windows_zip")
limit=$((20 * 1024 * 1024))
echo "$build/$windows_zip: $((zip_bytes / 1024)) KiB"
echo "$build/$windows_setup: $(($(stat -c %s "$build/$windows_setup") / 1024)) KiB"
[ "$zip_bytes" -le "$limit" ] || fail "the zip is over 20 MB"
