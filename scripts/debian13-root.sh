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
# leaves a root that a later run takes as finished. A folder there that holds no stamp was not
# made here, and is never deleted.
#
# Each command runs in mount and process namespaces of its own (root_exec in scripts/lib.sh),
# with this checkout, the Windows toolchain's cache folder and ../shared/third_party (when there
# is one) mounted there. Several commands may run at once; the root is made or remade only while
# none runs. Needs root (re-runs itself through sudo otherwise), debootstrap and Debian's
# registry (PORTEVAL_DEBIAN_MIRROR, or the mirror of this machine's apt sources).
set -euo pipefail
# shellcheck source=lib.sh
. "$(dirname "$0")/lib.sh"

if [ "$(id -u)" -ne 0 ]; then
    command -v sudo > /dev/null || fail "needs root: run it as root, or install sudo"
    exec sudo --preserve-env=PORTEVAL_DEBIAN13_ROOT,PORTEVAL_DEBIAN_MIRROR,PORTEVAL_CACHE \
        "$0" "$@"
fi

suite=trixie
mirror=$(debian_mirror)
# What the build, the tests, the Windows toolchain and the Wine tests need; installed once.
# shellcheck disable=SC2086 # the lists are words
packages=$(unique_words $build_packages $test_packages $package_packages \
    $windows_toolchain_packages $windows_release_packages $wine_test_packages $root_tool_packages)
# Free space making the root needs (it takes about 3 GB).
need_mb=4000

root="${PORTEVAL_DEBIAN13_ROOT:-$porteval_cache/debian13-root}"
stamp=etc/porteval-root.stamp
making="$root.making"
log="$root.log"
# Kept outside the root, so that a root made again keeps a Qt for Windows built in it.
windows_cache="$porteval_cache/windows"
# The third-party archives kept beside the checkout on this project's machines.
third_party=$(cd "$checkout/.." && pwd -P)/shared/third_party

mkdir -p "$(dirname "$root")" "$windows_cache" || fail "cannot create $(dirname "$root")"
# Held shared by every run and exclusive while the root is checked and made.
exec 9> "$root.lock"
flock 9

wanted=$(printf '%s\n' "suite $suite" "mirror $mirror" "packages $packages" \
    "setup $(sed -n '/^make_debian_root() {$/,/^}$/p' "$checkout/scripts/lib.sh" |
        sha256sum | cut -d' ' -f1)")
if ! stamp_current "$root/$stamp" "$wanted"; then
    claim_folder "$root" "$stamp"
    [ ! -e "$root" ] || echo "debian13-root: $root is out of date or unfinished: making it again"
    if [ -e "$making" ]; then
        echo "debian13-root: removing a half-made root left by an earlier run ($making)"
        rm -rf --one-file-system "$making"
    fi
    need_space "$(dirname "$root")" "$need_mb" "the root"
    echo "Making a Debian 13 root in $root (about 2 minutes)"
    started=$SECONDS
    # A failure from here on leaves $making, which the next run removes first.
    # shellcheck disable=SC2086 # one argument a package
    make_debian_root "$making" "$suite" "$mirror" "$log" $packages
    echo "$wanted" > "$making/$stamp"
    [ ! -e "$root" ] || rm -rf --one-file-system "$root"
    mv "$making" "$root"
    echo "Debian 13 root made in $((SECONDS - started)) s: $root"
fi
[ $# -gt 0 ] || { echo "Debian 13 root is up to date in $root"; exit 0; }

flock -s 9
binds=("$checkout" "$windows_cache")
[ ! -d "$third_party" ] || binds+=("$third_party")
export PORTEVAL_CACHE="$porteval_cache" PORTEVAL_IN_DEBIAN13_ROOT=1
# porteval's own variables pass into the root, and a few that the tests pass on.
root_keep='PORTEVAL_.*|ASAN_OPTIONS|UBSAN_OPTIONS|LSAN_OPTIONS|TERM'
root_exec "$root" "${binds[@]}" -- "$@"
