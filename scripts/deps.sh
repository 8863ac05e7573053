#!/bin/sh
# Installs what porteval needs to build, test and run, from Debian's or Ubuntu's packages; with
# --package also what CPack needs to make the .deb (file, and dpkg-shlibdeps from dpkg-dev); with
# --test also what the tests need beyond the build (ser2net, a serial device server).
# Runs apt-get as root, or through sudo for any other user.
# Usage: scripts/deps.sh [--package | --test] [extra package ...]
# The lists are in scripts/lib.sh.
set -eu
# shellcheck source=lib.sh
. "$(dirname "$0")/lib.sh"
fail_prefix=scripts/deps.sh
packages="$build_packages"
case "${1:-}" in
--package)
    shift
    packages="$packages $package_packages"
    ;;
--test)
    shift
    packages="$packages $test_packages"
    ;;
esac
# shellcheck disable=SC2086 # the list is words
missing=$(missing_packages $packages "$@")
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -eq 0 ]; then
    as_root=""
elif command -v sudo >/dev/null 2>&1; then
    as_root="sudo"
else
    fail "installing$missing needs root: run it as root, or install sudo"
fi
echo "Installing:$missing"
$as_root apt-get update -qq
# Through env, because sudo drops the caller's environment.
# shellcheck disable=SC2086 # one argument a package
$as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
