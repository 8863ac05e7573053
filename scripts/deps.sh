#!/bin/sh
# Installs what porteval needs to build, test and run, from Debian's or Ubuntu's packages.
# Usage: scripts/deps.sh [extra package ...]
set -eu
packages="cmake g++ make qt6-base-dev qt6-serialport-dev ser2net $*"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
echo "Installing:$missing"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
