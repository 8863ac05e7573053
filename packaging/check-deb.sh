#!/bin/sh
# Installs a porteval .deb into a fresh Debian 12 (debootstrap) and starts it there: once with
# --version, once in demo mode for three seconds on the offscreen platform. Needs root and
# access to a Debian mirror; takes a few minutes. Not part of CI.
# Usage: packaging/check-deb.sh path/to/porteval_*.deb [mirror]
set -eu
deb=$(readlink -f "$1")
mirror=${2:-http://deb.debian.org/debian}
root=$(mktemp -d /tmp/porteval-bookworm.XXXXXX)
trap 'umount "$root/proc" 2>/dev/null || true; rm -rf "$root"' EXIT

debootstrap --variant=minbase bookworm "$root" "$mirror" >/dev/null
mount -t proc proc "$root/proc"
cp "$deb" "$root/tmp/porteval.deb"
chroot "$root" sh -c 'apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/porteval.deb >/dev/null'
chroot "$root" env QT_QPA_PLATFORM=offscreen porteval --version
chroot "$root" sh -c 'QT_QPA_PLATFORM=offscreen timeout 3 porteval --demo; test $? -eq 124'
echo "porteval installs and starts on a fresh Debian 12"
