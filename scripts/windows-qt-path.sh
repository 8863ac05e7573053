# Sourced by the Windows scripts: the Qt release that the Windows build is made with (named here
# and nowhere else), where that Qt for Windows lives, and the MinGW runtime's folders.
windows_qt_version=6.8.2
porteval_cache="${PORTEVAL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/porteval}"
windows_qt="${PORTEVAL_WINDOWS_QT:-$porteval_cache/windows/qt-$windows_qt_version-mingw-w64}"
mingw_runtime_dirs="/usr/lib/gcc/x86_64-w64-mingw32/$(x86_64-w64-mingw32-gcc-posix -dumpversion 2> /dev/null || true) /usr/x86_64-w64-mingw32/lib"

# run_on_debian13 SCRIPT [ARGUMENT ...]: the Windows build needs Debian 13's mingw-w64, Qt host
# tools and Wine 10; on any other system the script runs again inside the Debian 13 root. An
# archive given with --serialport-source may lie where the root cannot see it: it goes in
# through the cache folder, which the root shares.
run_on_debian13() {
    grep -qsx 'VERSION_ID="13"' /etc/os-release && return 0
    script="$1"
    shift
    left=$#
    while [ "$left" -gt 0 ]; do
        argument="$1"
        shift
        left=$((left - 1))
        if [ "$argument" = --serialport-source ] && [ "$left" -gt 0 ]; then
            shared="$porteval_cache/windows/sources/$(basename "$1")"
            mkdir -p "$porteval_cache/windows/sources"
            [ "$1" -ef "$shared" ] || cp "$1" "$shared" || exit 1
            shift
            left=$((left - 1))
            set -- "$@" "$argument" "$shared"
        else
            set -- "$@" "$argument"
        fi
    done
    exec scripts/debian13-root.sh "$script" "$@"
}
