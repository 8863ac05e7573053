# Sourced by the Windows scripts: where the Qt for Windows lives, and the MinGW runtime's folders.
windows_qt="${PORTEVAL_WINDOWS_QT:-${XDG_CACHE_HOME:-$HOME/.cache}/porteval/qt-6.4.2-mingw-w64}"
mingw_runtime_dirs="/usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib"
