#!/bin/sh
# Runs a Windows program of the build under Wine with the Windows Qt and the MinGW runtime on its
# DLL search path: what ctest puts in front of every Windows test program.
#   scripts/wine-run.sh PROGRAM.exe [ARGUMENT ...]
# WINEPREFIX as set by the caller (scripts/test-windows.sh makes one in build-windows/).
# shellcheck source=lib.sh
. "$(dirname "$0")/lib.sh"
# The MinGW runtime's DLLs: the compiler's own, and the runtime's.
mingw_runtime_dirs="/usr/lib/gcc/x86_64-w64-mingw32/$(x86_64-w64-mingw32-gcc-posix -dumpversion 2> /dev/null) /usr/x86_64-w64-mingw32/lib"
path="Z:$windows_qt/bin"
for dir in $mingw_runtime_dirs; do
    path="$path;Z:$dir"
done
export WINEPATH="$path"
export WINEDEBUG="${WINEDEBUG:--all}"
# The tests' offscreen platform reads its fonts from a folder: Wine's own (Debian's fonts-wine),
# whose metrics are Windows' own.
QT_QPA_FONTDIR="${QT_QPA_FONTDIR:-Z:/usr/share/wine/fonts}"
export QT_QPA_FONTDIR
# Wine keeps QT_ variables (meant for a Unix Qt) from Windows programs, but hands them WINEQT_
# ones under the QT_ name: so QT_QPA_PLATFORM=offscreen reaches the tests.
for name in $(env | sed -n 's/^\(QT_[A-Za-z0-9_]*\)=.*/\1/p'); do
    eval "export WINE$name=\"\$$name\""
done
# Without a console, Qt on Windows logs (QtTest's results too) to the debugger; to stderr and
# stdout instead, where ctest reads them.
export WINEQT_FORCE_STDERR_LOGGING=1
exec wine "$@"
