#!/bin/sh
# Installs what porteval needs to build, test and run, from Debian's or Ubuntu's packages; with
# --package also what CPack needs to make the .deb (file, and dpkg-shlibdeps from dpkg-dev); with
# --test also what the tests need beyond the build (ser2net, a serial device server).
# Runs apt-get as root, or through sudo for any other user.
# Usage: scripts/deps.sh [--package | --test] [extra package ...]
set -eu
# libxkbcommon-dev: porteval does not use it, but Qt's Gui package looks for it when CMake
# configures and prints "Could NOT find XKB" without it, which reads like an error. It is 50 kB.
# qt6-translations-l10n: Qt's own dialogs and menus in the window's language, at run time.
packages="cmake g++ make qt6-base-dev qt6-serialport-dev libxkbcommon-dev qt6-translations-l10n"
case "${1:-}" in
--package)
    shift
    packages="$packages file dpkg-dev"
    ;;
--test)
    # A real serial device server for the network-port tests; only the tests need it.
    shift
    packages="$packages ser2net"
    ;;
esac
missing=""
for p in $packages "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -eq 0 ]; then
    as_root=""
elif command -v sudo >/dev/null 2>&1; then
    as_root="sudo"
else
    echo "scripts/deps.sh: installing$missing needs root: run it as root, or install sudo" >&2
    exit 1
fi
echo "Installing:$missing"
$as_root apt-get update -qq
# Through env, because sudo drops the caller's environment.
$as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
