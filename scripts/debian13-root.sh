#!/bin/bash
# A Debian 13 ("trixie") system in a folder, made with debootstrap, for what a Debian 12 machine
# cannot do itself: build and test porteval on Qt 6.8, and build and test the Windows release
# with Debian 13's mingw-w64 and Wine 10.
#
#   scripts/debian13-root.sh [COMMAND [ARGUMENT ...]]
#
# Without a command it only makes the root. With one, it runs it inside the root as root, in this
# checkout (mounted at the same path), and ends with its exit status. The root is made once into
# ~/.cache/porteval/debian13-root (or PORTEVAL_DEBIAN13_ROOT) and stamped with what went into it:
# a second run uses it as it is, a changed input makes it again. It is made in a folder beside it
# and only moved into place, stamp and all, once complete, so a run that stopped half-way never
# leaves a root that a later run takes as finished.
#
# Each command runs in mount and process namespaces of its own, with /proc, /sys, /dev,
# /dev/pts, /dev/shm, this checkout, the Windows toolchain's cache folder and
# ../shared/third_party (when there is one) mounted there: the machine never sees those mounts,
# and they go, with every process the command left running, as soon as it ends, fails or is
# interrupted. Several commands may run at once; the root is made or remade only while none runs.
# Needs root (re-runs itself through sudo otherwise), debootstrap and Debian's registry.
set -euo pipefail

suite=trixie
# Debian's registry, as this machine's apt sources name it.
mirror="${PORTEVAL_DEBIAN_MIRROR:-http://deb.debian.org/debian}"
# What the build, the tests, the Windows toolchain and the Wine tests need; installed once.
packages=(
    # the Linux build and its tests (scripts/deps.sh --test), Qt's own translations
    cmake g++ make qt6-base-dev qt6-serialport-dev libxkbcommon-dev ser2net qt6-translations-l10n
    # the Windows toolchain (scripts/windows-toolchain.sh)
    ninja-build xz-utils g++-mingw-w64-x86-64-posix qt6-base-dev-tools dpkg-dev
    # the Windows release and its tests under Wine (scripts/build-windows.sh, test-windows.sh)
    nsis wine wine64 fonts-wine xvfb xauth xdotool imagemagick socat
    # what the scripts themselves use
    git ca-certificates procps file
)
# Free space making the root needs (it takes about 3 GB).
need_mb=4000

fail() {
    echo "debian13-root: $*" >&2
    exit 1
}

# in_root ROOT DIR COMMAND...: the command in the root, in DIR, with a clean environment but for
# porteval's own variables and a few that the tests pass on.
in_root() {
    local top=$1 dir=$2 name
    shift 2
    local keep=()
    for name in $(compgen -e); do
        case "$name" in
        PORTEVAL_* | ASAN_OPTIONS | UBSAN_OPTIONS | LSAN_OPTIONS)
            keep+=("$name=${!name}")
            ;;
        esac
    done
    env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
        LANG=C.UTF-8 TERM="${TERM:-dumb}" DEBIAN_FRONTEND=noninteractive \
        PORTEVAL_IN_DEBIAN13_ROOT=1 "${keep[@]}" \
        chroot "$top" /bin/sh -c 'cd "$1" && shift && exec "$@"' sh "$dir" "$@"
}

# Inside the namespaces (process 1 there): --namespace ROOT [BIND ...] -- COMMAND...
# Mounts what a command needs, binds each BIND (a folder of this machine) at its own path, runs
# the command in the first BIND (or /) and passes its exit status on.
if [ "${1:-}" = --namespace ]; then
    root=$2
    shift 2
    binds=()
    while [ "$1" != -- ]; do
        binds+=("$1")
        shift
    done
    shift
    mount -t proc proc "$root/proc"
    mount --bind /sys "$root/sys"
    mount --bind /dev "$root/dev"
    mount --bind /dev/pts "$root/dev/pts"
    mkdir -p "$root/dev/shm"
    mount --bind /dev/shm "$root/dev/shm"
    for bind in "${binds[@]}"; do
        mkdir -p "$root$bind"
        mount --bind "$bind" "$root$bind"
    done
    in_root "$root" "${binds[0]:-/}" "$@" &
    command_pid=$!
    # An interrupt reaches the command; everything else goes when this process ends.
    trap 'kill -INT "$command_pid" 2> /dev/null || true' INT
    trap 'kill -TERM "$command_pid" 2> /dev/null || true' TERM HUP
    status=0
    while kill -0 "$command_pid" 2> /dev/null; do
        wait "$command_pid" && status=0 || status=$?
    done
    exit "$status"
fi

if [ "$(id -u)" -ne 0 ]; then
    command -v sudo > /dev/null || fail "needs root: run it as root, or install sudo"
    exec sudo --preserve-env=PORTEVAL_DEBIAN13_ROOT,PORTEVAL_DEBIAN_MIRROR,PORTEVAL_CACHE \
        "$0" "$@"
fi

checkout=$(cd "$(dirname "$0")/.." && pwd -P)
script="$checkout/scripts/$(basename "$0")"
cache="${PORTEVAL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/porteval}"
root="${PORTEVAL_DEBIAN13_ROOT:-$cache/debian13-root}"
stamp="$root/etc/porteval-root.stamp"
making="$root.making"
# Kept outside the root, so that a root made again keeps a Qt for Windows built in it.
windows_cache="$cache/windows"
# The third-party archives kept beside the checkout on this project's machines.
third_party=$(cd "$checkout/.." && pwd -P)/shared/third_party

mkdir -p "$(dirname "$root")" "$windows_cache" || fail "cannot create $(dirname "$root")"
# Held shared by every run and exclusive while the root is checked and made.
exec 9> "$root.lock"
flock 9

# run_in_namespaces ROOT [BIND ...] -- COMMAND...: when unshare ends, killed or not, the
# namespaces' first process is killed, and everything in them with it.
namespaces_pid=""
run_in_namespaces() {
    unshare --mount --propagation private --pid --fork --kill-child -- \
        "$script" --namespace "$@" &
    namespaces_pid=$!
    local status=0
    while kill -0 "$namespaces_pid" 2> /dev/null; do
        wait "$namespaces_pid" && status=0 || status=$?
    done
    namespaces_pid=""
    return "$status"
}
stop_namespaces() {
    # unshare holds INT and TERM back for its child; killed, it takes the namespaces with it.
    [ -z "$namespaces_pid" ] || kill -KILL "$namespaces_pid" 2> /dev/null || true
    exit "$1"
}
trap 'stop_namespaces 130' INT
trap 'stop_namespaces 143' TERM
trap 'stop_namespaces 129' HUP

explain_failure() { # explain_failure LOG STEP: one line that says why STEP failed
    if grep -q 'No space left on device' "$1"; then
        fail "disk full while $2 (the root is half-made; the next run starts it again)"
    elif grep -qE 'Could not resolve|Failed getting release file|Temporary failure|Connection (refused|timed out)|Unable to connect|Could not connect' "$1"; then
        fail "cannot reach the Debian registry at $mirror while $2 (the next run starts again)"
    fi
    fail "$2 failed: $(grep -m1 -E '^(E:|W: Failure)' "$1" || tail -n1 "$1") (log: $1)"
}

wanted=$(printf '%s\n' "suite $suite" "mirror $mirror" "packages ${packages[*]}" \
    "setup $(sed -n '/^make_root() {$/,/^}$/p' "$0" | sha256sum | cut -d' ' -f1)")

make_root() {
    local log="$cache/debian13-root.log" free_mb
    if [ -e "$making" ]; then
        echo "debian13-root: removing a half-made root left by an earlier run ($making)"
        rm -rf --one-file-system "$making"
    fi
    free_mb=$(df -Pm "$(dirname "$root")" | awk 'NR == 2 { print $4 }')
    [ "$free_mb" -ge "$need_mb" ] ||
        fail "disk full: only $free_mb MB free under $(dirname "$root"); the root needs about $need_mb MB"
    command -v debootstrap > /dev/null || "$checkout/scripts/deps.sh" debootstrap > "$log" 2>&1 ||
        fail "cannot install debootstrap: $(grep -m1 -E '^(E:|W:)' "$log" || tail -n1 "$log")"
    wget -q -T 20 -t 2 -O /dev/null "$mirror/dists/$suite/InRelease" ||
        fail "cannot reach the Debian registry at $mirror (no $suite release file)"

    echo "Making a Debian 13 root in $root (about 2 minutes)"
    local started=$SECONDS
    # A failure from here on leaves $making, which the next run removes first; what debootstrap
    # mounts stays in a namespace of its own.
    unshare --mount --propagation private -- \
        debootstrap --variant=minbase "$suite" "$making" "$mirror" > "$log" 2>&1 ||
        explain_failure "$log" debootstrap
    printf '%s\n' "Types: deb deb-src" "URIs: $mirror" "Suites: $suite" "Components: main" \
        "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" \
        > "$making/etc/apt/sources.list.d/debian.sources"
    rm -f "$making/etc/apt/sources.list"
    # Documentation and manuals are not needed in a build root.
    printf '%s\n' 'path-exclude /usr/share/doc/*' 'path-exclude /usr/share/man/*' \
        'path-exclude /usr/share/info/*' > "$making/etc/dpkg/dpkg.cfg.d/porteval-nodoc"
    cp /etc/resolv.conf "$making/etc/resolv.conf" 2> /dev/null || true
    run_in_namespaces "$making" -- sh -c 'apt-get update -qq &&
            apt-get install -y -qq --no-install-recommends "$@"' sh "${packages[@]}" \
        >> "$log" 2>&1 || explain_failure "$log" "installing the packages"
    echo "$wanted" > "$making/etc/porteval-root.stamp"
    [ ! -e "$root" ] || rm -rf --one-file-system "$root"
    mv "$making" "$root"
    echo "Debian 13 root made in $((SECONDS - started)) s: $root"
}

if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$wanted" ]; then
    [ ! -e "$root" ] || echo "debian13-root: $root is out of date or unfinished: making it again"
    make_root
fi
[ $# -gt 0 ] || { echo "Debian 13 root is up to date in $root"; exit 0; }

flock -s 9
binds=("$checkout" "$windows_cache")
[ ! -d "$third_party" ] || binds+=("$third_party")
PORTEVAL_CACHE="$cache" run_in_namespaces "$root" "${binds[@]}" -- "$@"
