#!/bin/sh
# Builds Qt for 64-bit Windows (x86_64-w64-mingw32) once, into a cache folder, with Debian 13's
# mingw-w64 cross compiler (GCC 14): only what porteval uses (Core, Gui, Widgets, Network, Test,
# the Windows platform plugin, the Windows Vista and Windows 11 styles, Qt Serial Port). Debian
# 13's own Qt of the same release supplies moc, rcc and uic (qt6-base-dev-tools). On any other
# system it runs in the Debian 13 root (scripts/debian13-root.sh).
#
#   scripts/windows-toolchain.sh [--serialport-source FILE]
#
# Where: PORTEVAL_WINDOWS_QT, or ~/.cache/porteval/windows/qt-VERSION-mingw-w64. A stamp of the
# inputs (sources and their checksums, compilers, options) is written last, so a second run with
# the same inputs does nothing, a changed input rebuilds, and a build that stopped half-way is
# never taken as finished. A folder there that holds no stamp was not made here: it is refused,
# and never deleted. Every failure ends in one line on stderr that says what went wrong.
# qtbase comes from Debian 13's source package, fetched with apt into a private folder (this
# machine's apt configuration is left as it is); Qt Serial Port from its archive,
# ../shared/third_party/ on this project's machines.
set -eu
cd "$(dirname "$0")/.."
# shellcheck source=lib.sh
. scripts/lib.sh
run_on_debian13 scripts/windows-toolchain.sh "$@"

qt_version="$windows_qt_version"
qtbase_orig="qt6-base_${qt_version}+dfsg.orig.tar.xz"
qtbase_sha256=e0dddfea4dabb8ae4ad9224d674bef21cd101a6a5126fe988e3af69b251260b8
# Qt Serial Port at its 6.8.0 tag, the last one tagged in the 6.8 series that reaches these
# machines; it builds against qtbase 6.8.2.
serialport_archive="qtserialport-everywhere-src-6.8.0.tar.xz"
serialport_sha256=1f7f91dcb348748139dc0e92f97235f88e838a2be686d3063700bd4352211ec5
serialport_source=""
# Free space a build needs: sources, build trees and the installed Qt, with room to spare.
need_mb=6000

while [ $# -gt 0 ]; do
    case "$1" in
    --serialport-source)
        [ $# -ge 2 ] || fail "--serialport-source needs the path of $serialport_archive"
        serialport_source="$2"
        shift 2
        ;;
    *) fail "unknown argument '$1' (usage: $0 [--serialport-source FILE])" ;;
    esac
done

cache="$porteval_cache/windows"
prefix="$windows_qt"
stamp="$prefix/porteval-toolchain.stamp"
work="$prefix.work"
# The work folder carries a stamp of its own while a build runs, so that it too is known as ours.
work_stamp=porteval-toolchain.work

# What goes into the build: change any of it and the toolchain is built again. porteval talks
# plain TCP, never HTTP or TLS, and draws no markdown: what it does not use is not built, which
# also keeps the build short.
qtbase_features="-DFEATURE_sql=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF
 -DFEATURE_xml=OFF -DFEATURE_dbus=OFF -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF
 -DFEATURE_gif=OFF -DFEATURE_jpeg=OFF -DFEATURE_ico=OFF
 -DFEATURE_tabletevent=OFF -DFEATURE_openssl=OFF -DINPUT_openssl=no -DFEATURE_zstd=OFF
 -DFEATURE_sql_sqlite=OFF -DFEATURE_networklistmanager=OFF -DFEATURE_ssl=OFF
 -DFEATURE_schannel=OFF -DFEATURE_http=OFF -DFEATURE_networkdiskcache=OFF -DFEATURE_brotli=OFF
 -DFEATURE_gssapi=OFF -DFEATURE_textmarkdownreader=OFF -DFEATURE_textmarkdownwriter=OFF
 -DFEATURE_style_windowsvista=ON -DFEATURE_style_windows11=ON"
# The CMake toolchain file: posix threads, for std::mutex; the compiler's own sysroot only.
toolchain_text='set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)'

# The packages the build needs, installed through the project's own installer.
# shellcheck disable=SC2086 # the list is words
missing=$(missing_packages $windows_toolchain_packages)
if [ -n "$missing" ]; then
    log=$(mktemp)
    # shellcheck disable=SC2086
    scripts/deps.sh $missing > "$log" 2>&1 || fail "could not install$missing: $(log_reason "$log")"
    rm -f "$log"
fi

host_qt=$(dpkg-query -W -f='${Version}' qt6-base-dev)
case "$host_qt" in
"$qt_version"+*) ;;
*) fail "the host Qt is $host_qt; the Windows Qt must be the same release, $qt_version" ;;
esac

check_serialport() {
    [ -f "$1" ] || fail "$1 not found (pass --serialport-source FILE)"
    sum=$(sha256sum "$1" | cut -d' ' -f1)
    [ "$sum" = "$serialport_sha256" ] ||
        fail "$1: SHA256 $sum, expected $serialport_sha256 (not Qt Serial Port $qt_version)"
}
# Qt Serial Port: the archive given, this project's third_party folder, or the copy an earlier
# build kept in the cache. It is needed only to build: a clone anywhere, without
# ../shared/third_party/, can use a finished toolchain.
if [ -z "$serialport_source" ]; then
    for candidate in "../shared/third_party/$serialport_archive" \
        "$cache/sources/$serialport_archive"; do
        [ -f "$candidate" ] && serialport_source="$candidate" && break
    done
fi
[ -z "$serialport_source" ] || check_serialport "$serialport_source"

compiler="x86_64-w64-mingw32-g++-posix"
compiler_version=$("$compiler" --version | head -n1)

# shellcheck disable=SC2086,SC2116 # the features on one line, as the stamp has always had them
wanted=$(printf '%s\n' "qt $qt_version" "qtbase $qtbase_orig $qtbase_sha256" \
    "serialport $serialport_sha256" "host $host_qt" "compiler $compiler_version" \
    "features $(echo $qtbase_features)" \
    "toolchain $(echo "$toolchain_text" | sha256sum | cut -d' ' -f1)")
if stamp_current "$stamp" "$wanted"; then
    # Kept for a later rebuild from a clone that has no ../shared/third_party/.
    if [ -n "$serialport_source" ] && [ ! -f "$cache/sources/$serialport_archive" ]; then
        cp "$serialport_source" "$cache/sources/"
    fi
    echo "Qt $qt_version for Windows is up to date in $prefix"
    exit 0
fi

[ -n "$serialport_source" ] ||
    fail "$serialport_archive is not in ../shared/third_party/ nor in $cache/sources/ (pass --serialport-source FILE)"

# Only a folder made here is replaced: a Qt built by hand, say, is never deleted.
claim_folder "$prefix" porteval-toolchain.stamp
claim_folder "$work" "$work_stamp"
# From here on the old toolchain is gone until the new stamp is written; the stamps say
# "unfinished" meanwhile, so a build stopped half-way is ours to start again.
rm -rf "$prefix" "$work"
mkdir -p "$prefix" "$work" "$cache/sources" || fail "cannot create $prefix"
echo unfinished > "$stamp"
echo unfinished > "$work/$work_stamp"
[ -f "$cache/sources/$serialport_archive" ] || cp "$serialport_source" "$cache/sources/"
need_space "$work" "$need_mb" "the build"

started=$(date +%s)

# qtbase: Debian's source of the Qt that Debian ships, through apt with a deb-src entry and
# index lists of its own in the work folder.
if [ ! -f "$cache/sources/$qtbase_orig" ]; then
    apt_dir="$work/apt"
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache" "$apt_dir/parts"
    mirror=$(debian_mirror)
    echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror" \
        "$(. /etc/os-release && echo "$VERSION_CODENAME") main" > "$apt_dir/sources.list"
    # apt's options, as the arguments from here on; its downloads run as this user, who alone
    # can write to the work folder.
    set -- -o Dir::Etc::SourceList="$apt_dir/sources.list" -o Dir::Etc::SourceParts="$apt_dir/parts" \
        -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache="$apt_dir/cache" \
        -o APT::Sandbox::User="$(id -un)"
    apt-get "$@" update -qq > "$work/apt.log" 2>&1 ||
        fail "apt-get update failed: $(log_reason "$work/apt.log")"
    (cd "$work" && apt-get "$@" source --download-only "qt6-base=$host_qt") >> "$work/apt.log" 2>&1 ||
        fail "cannot download Debian's qt6-base source: $(log_reason "$work/apt.log")"
    mv "$work/$qtbase_orig" "$cache/sources/$qtbase_orig"
fi
sum=$(sha256sum "$cache/sources/$qtbase_orig" | cut -d' ' -f1)
[ "$sum" = "$qtbase_sha256" ] || {
    rm -f "$cache/sources/$qtbase_orig"
    fail "$qtbase_orig: SHA256 $sum, expected $qtbase_sha256"
}

# run STEP COMMAND...: runs a step with its output in a log, and says which step failed and why.
run() {
    step="$1"
    shift
    echo "  $step"
    if ! "$@" > "$work/$step.log" 2>&1; then
        if grep -q 'No space left on device' "$work/$step.log"; then
            fail "$step: out of disk space under $work"
        fi
        fail "$step failed; see $work/$step.log"
    fi
}

echo "Building Qt $qt_version for Windows into $prefix (about 25 minutes on 2 cores)"
run unpack-qtbase tar -C "$work" -xJf "$cache/sources/$qtbase_orig"
qtbase_src=$(find "$work" -maxdepth 1 -type d -name 'qtbase*' | head -n1)
[ -n "$qtbase_src" ] || fail "$qtbase_orig holds no qtbase folder"

toolchain="$prefix/mingw-w64-x86_64.cmake"
echo "$toolchain_text" > "$toolchain"

jobs=$(nproc)
# shellcheck disable=SC2086 # the feature list is meant to split into arguments
run configure-qtbase cmake -S "$qtbase_src" -B "$work/qtbase-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF $qtbase_features
run build-qtbase cmake --build "$work/qtbase-build" --parallel "$jobs"
run install-qtbase cmake --install "$work/qtbase-build" --strip

run unpack-serialport tar -C "$work" -xJf "$serialport_source"
serialport_src=$(find "$work" -maxdepth 1 -type d -name 'qtserialport*' | head -n1)
[ -n "$serialport_src" ] || fail "$serialport_archive holds no qtserialport folder"
mkdir -p "$work/serialport-build"
run configure-serialport cmake -E chdir "$work/serialport-build" \
    "$prefix/bin/qt-configure-module" "$serialport_src" -- -G Ninja
run build-serialport cmake --build "$work/serialport-build" --parallel "$jobs"
run install-serialport cmake --install "$work/serialport-build" --strip

rm -rf "$work"
echo "$wanted" > "$stamp"
took=$(($(date +%s) - started))
echo "Qt $qt_version for Windows built in $((took / 60)) min $((took % 60)) s: $prefix"
