#!/bin/sh
# Compiles every source file of src/ that a Windows build compiles for a Windows target,
# syntax only, with Debian's mingw-w64 g++ against the Qt headers installed here. It catches
# POSIX headers and calls (pty.h, termios, pipe2) before a Windows user does; it links
# nothing, so it cannot catch link errors.
#   apt-get install g++-mingw-w64-x86-64-posix qt6-base-dev qt6-serialport-dev
set -eu
cd "$(dirname "$0")/.."
compiler="${PORTEVAL_MINGW_CXX:-x86_64-w64-mingw32-g++-posix}"
command -v "$compiler" >/dev/null || {
    echo "$compiler not found: apt-get install g++-mingw-w64-x86-64-posix" >&2
    exit 2
}
qt="${PORTEVAL_QT_INCLUDE:-$(qmake6 -query QT_INSTALL_HEADERS 2>/dev/null || echo /usr/include/x86_64-linux-gnu/qt6)}"

# What CMake builds only where pseudo-terminals exist (PORTEVAL_PTY_SOURCES).
posix_only=$(sed -n 's/^set(PORTEVAL_PTY_SOURCES \(.*\))$/\1/p' src/CMakeLists.txt)
[ -n "$posix_only" ] || { echo "PORTEVAL_PTY_SOURCES not found in src/CMakeLists.txt" >&2; exit 2; }

files=$(git ls-files 'src/*.cpp' | while read -r file; do
    case " $posix_only " in *" ${file#src/} "*) ;; *) echo "$file" ;; esac
done)
log=$(mktemp -d)
trap 'rm -rf "$log"' EXIT
# Two at a time: the machines this runs on are shared.
echo "$files" | xargs -P 2 -I{} sh -c '
    "$0" -std=c++17 -fsyntax-only -Isrc -isystem "$1" -isystem "$1/QtCore" -isystem "$1/QtGui" \
        -isystem "$1/QtWidgets" -isystem "$1/QtSerialPort" -isystem "$1/QtNetwork" \
        -DQT_NO_CONTEXTLESS_CONNECT -DQT_NO_CAST_FROM_ASCII -DQT_NO_CAST_TO_ASCII \
        -DPORTEVAL_VERSION=\"0\" -DPORTEVAL_WEB_URL=\"https://example.org/\" \
        {} > "$2/$(echo {} | tr / _).log" 2>&1 || echo {} >> "$2/failed"
' "$compiler" "$qt" "$log"

total=$(echo "$files" | wc -l)
if [ -f "$log/failed" ]; then
    for file in $(sort "$log/failed"); do
        echo "== $file"
        grep -m 5 'error' "$log/$(echo "$file" | tr / _).log" || true
    done
    echo "$(wc -l < "$log/failed") of $total files do not compile for Windows"
    exit 1
fi
echo "all $total files compile for Windows (syntax only; linking is not checked)"
