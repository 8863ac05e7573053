# shellcheck shell=sh
# shellcheck disable=SC2034 # what it sets is for the scripts that source it
# What porteval's scripts share, sourced by each (POSIX sh, and bash alike):
#   . "$(dirname "$0")/lib.sh"
# It sets checkout (the top of this checkout, found from the script's own place) and
# porteval_cache, and defines functions only: sourcing it changes nothing on the machine.
# Functions keep their working variables under their own prefix, so that they clobber none of a
# script's.

if [ -z "${checkout:-}" ]; then
    checkout=$(cd "$(dirname "$0")" && until [ -f scripts/lib.sh ] || [ "$PWD" = / ]; do
        cd ..
    done && pwd -P)
fi
porteval_cache="${PORTEVAL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/porteval}"
# Each failure ends in one line on stderr that starts with this.
fail_prefix=$(basename "$0" .sh)

fail() {
    echo "$fail_prefix: $*" >&2
    exit 1
}

# log_reason LOG: the line of an apt-get or debootstrap log that says why it failed.
log_reason() {
    grep -m1 -E '^(E:|W:)' "$1" || tail -n1 "$1"
}

# ---- Packages: every list of them, in one place ----

# What porteval needs to build and run (scripts/deps.sh). libxkbcommon-dev: porteval does not use
# it, but Qt's Gui package looks for it when CMake configures and prints "Could NOT find XKB"
# without it, which reads like an error; it is 50 kB. qt6-translations-l10n: Qt's own dialogs and
# menus in the window's language, at run time. help2man: the manual pages, made at build time.
build_packages="cmake g++ make qt6-base-dev qt6-serialport-dev libxkbcommon-dev qt6-translations-l10n
 help2man"
# What CPack needs to make the .deb (deps.sh --package): file, and dpkg-shlibdeps from dpkg-dev.
package_packages="file dpkg-dev"
# What the tests need beyond the build (deps.sh --test): a real serial device server, and man to
# render the manual pages.
test_packages="ser2net man-db"
# Qt for Windows (scripts/windows-toolchain.sh): mingw-w64 with posix threads, and Debian's Qt of
# the same release, whose host tools (moc, rcc, uic) the cross build uses.
windows_toolchain_packages="cmake ninja-build xz-utils g++-mingw-w64-x86-64-posix qt6-base-dev
 qt6-base-dev-tools"
# The Windows release's installer, and cmark for its manual's pages (scripts/build-windows.sh).
windows_release_packages="nsis cmark"
# The Windows tests under Wine (scripts/test-windows.sh), beyond deps.sh --test.
wine_test_packages="wine wine64 fonts-wine xvfb xauth xdotool imagemagick socat"
# What the scripts themselves use in the Debian 13 root.
root_tool_packages="git ca-certificates procps"

# unique_words WORD...: each word once, in the order first given, on one line.
unique_words() {
    printf '%s\n' "$@" | awk '!seen[$0]++' | paste -sd ' ' -
}

# missing_packages PACKAGE...: those of them that dpkg does not have installed, each after a
# blank.
missing_packages() {
    for mp_package in "$@"; do
        dpkg-query -W -f='${Status}' "$mp_package" 2> /dev/null | grep -q "install ok installed" ||
            printf ' %s' "$mp_package"
    done
}

# ---- Stamps and folders ----

# stamp_current FILE TEXT: FILE holds TEXT, the inputs of a make that finished.
stamp_current() {
    [ -f "$1" ] && [ "$(cat "$1")" = "$2" ]
}

# claim_folder DIR STAMP: DIR may be emptied and made again, since it is missing, empty, or holds
# STAMP (a path inside it that only a make of ours writes). Any other folder is refused, and
# never deleted.
claim_folder() {
    [ -e "$1" ] || return 0
    [ -d "$1" ] || fail "$1 is a file, not a folder: refusing to replace it"
    [ -e "$1/$2" ] || [ -z "$(ls -A "$1")" ] ||
        fail "$1 is not empty and holds no $2, so it was not made here: refusing to delete it"
}

# need_space DIR MB WHAT: fails unless DIR's file system has MB megabytes free for WHAT.
need_space() {
    ns_free=$(df -Pm "$1" | awk 'NR == 2 { print $4 }')
    [ "$ns_free" -ge "$2" ] ||
        fail "disk full: only $ns_free MB free under $1; $3 needs about $2 MB"
}

# ---- Debian roots ----

# debian_mirror: Debian's registry, PORTEVAL_DEBIAN_MIRROR or else as this machine's apt sources
# name it for its own suite.
debian_mirror() {
    if [ -n "${PORTEVAL_DEBIAN_MIRROR:-}" ]; then
        echo "${PORTEVAL_DEBIAN_MIRROR%/}"
        return
    fi
    dm_suite=$(. /etc/os-release && [ "${ID:-}" = debian ] && echo "${VERSION_CODENAME:-}") ||
        fail "this is no Debian system: set PORTEVAL_DEBIAN_MIRROR to a Debian mirror"
    # shellcheck disable=SC2016 # apt's own $(FIELD) names
    dm_uri=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(TARGET_OF)' |
        awk -v suite="$dm_suite" '$2 == suite && $3 == "deb" { print $1; exit }')
    [ -n "$dm_uri" ] ||
        fail "apt's sources name no mirror for $dm_suite: set PORTEVAL_DEBIAN_MIRROR"
    echo "${dm_uri%/}"
}

# debian_suite RELEASE: the suite of a Debian release, 12 or 13.
debian_suite() {
    case "$1" in
    12) echo bookworm ;;
    13) echo trixie ;;
    *) return 1 ;;
    esac
}

# explain_failure LOG STEP MIRROR: one line that says why STEP, making a root, failed.
explain_failure() {
    if grep -q 'No space left on device' "$1"; then
        fail "disk full while $2 (the next run starts again)"
    elif grep -qE 'Could not resolve|Failed getting release file|Temporary failure|Connection (refused|timed out)|Unable to connect|Could not connect' "$1"; then
        fail "cannot reach the Debian registry at $3 while $2 (the next run starts again)"
    fi
    fail "$2 failed: $(grep -m1 -E '^(E:|W: Failure)' "$1" || tail -n1 "$1") (log: $1)"
}

# make_debian_root DIR SUITE MIRROR LOG [PACKAGE ...]: a Debian SUITE system in DIR, made with
# debootstrap (minbase) from MIRROR, with the output in LOG. Without packages it stays as
# debootstrap leaves it, a bare system; with them it is a build root: apt's sources in one file,
# no documentation, the packages installed.
make_debian_root() {
    mr_dir=$1 mr_suite=$2 mr_mirror=$3 mr_log=$4
    shift 4
    command -v debootstrap > /dev/null || "$checkout/scripts/deps.sh" debootstrap > "$mr_log" 2>&1 ||
        fail "cannot install debootstrap: $(log_reason "$mr_log")"
    # What debootstrap mounts stays in a namespace of its own.
    unshare --mount --propagation private -- \
        debootstrap --variant=minbase "$mr_suite" "$mr_dir" "$mr_mirror" > "$mr_log" 2>&1 ||
        explain_failure "$mr_log" debootstrap "$mr_mirror"
    [ $# -gt 0 ] || return 0
    printf '%s\n' "Types: deb" "URIs: $mr_mirror" "Suites: $mr_suite" "Components: main" \
        "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" \
        > "$mr_dir/etc/apt/sources.list.d/debian.sources"
    rm -f "$mr_dir/etc/apt/sources.list"
    # Documentation and manuals are not needed in a build root.
    printf '%s\n' 'path-exclude /usr/share/doc/*' 'path-exclude /usr/share/man/*' \
        'path-exclude /usr/share/info/*' > "$mr_dir/etc/dpkg/dpkg.cfg.d/porteval-nodoc"
    cp /etc/resolv.conf "$mr_dir/etc/resolv.conf" 2> /dev/null || true
    root_exec "$mr_dir" -- sh -c 'apt-get update -qq &&
        apt-get install -y -qq --no-install-recommends "$@" && apt-get clean' sh "$@" \
        >> "$mr_log" 2>&1 || explain_failure "$mr_log" "installing the packages" "$mr_mirror"
}

# root_exec [--net] ROOT [BIND ...] -- COMMAND...: runs COMMAND as root in the Debian system in
# ROOT, in mount and process namespaces of its own, with /proc, /sys, /dev, /dev/pts, /dev/shm
# and each BIND (a folder of this machine, at its own path) mounted there, in the first BIND (or
# /), and returns its exit status. With --net, in a network namespace of its own too (loopback
# only). The machine never sees those mounts; they go, with every process that the command left
# running, as soon as it ends, fails or is interrupted. Its environment is clean, but for the
# variables whose names match the extended regular expression root_keep (none when unset).
root_exec_pid=""
root_exec() {
    re_net=""
    [ "$1" != --net ] || { re_net=--net && shift; }
    trap 'root_stop 130' INT
    trap 'root_stop 143' TERM
    trap 'root_stop 129' HUP
    # shellcheck disable=SC2016 # expanded by the shell inside
    unshare --mount --propagation private --pid --fork --kill-child $re_net -- \
        env checkout="$checkout" root_keep="${root_keep:-}" \
        /bin/sh -euc '. "$checkout/scripts/lib.sh" && root_enter "$@"' sh "$@" &
    root_exec_pid=$!
    re_status=0
    wait_on "$root_exec_pid" || re_status=$?
    root_exec_pid=""
    return "$re_status"
}
# wait_on PID: waits for a child through the signals that its caller traps; returns its status.
wait_on() {
    wo_status=0
    while kill -0 "$1" 2> /dev/null; do
        wait "$1" && wo_status=0 || wo_status=$?
    done
    return "$wo_status"
}
# root_stop STATUS: unshare holds INT and TERM back for its child; killed, it takes the
# namespaces with it.
root_stop() {
    [ -z "$root_exec_pid" ] || kill -KILL "$root_exec_pid" 2> /dev/null || true
    exit "$1"
}

# root_enter ROOT [BIND ...] -- COMMAND...: root_exec's first process in the new namespaces.
root_enter() {
    rn_root=$1
    shift
    mount -t proc proc "$rn_root/proc"
    mount --bind /sys "$rn_root/sys"
    mount --bind /dev "$rn_root/dev"
    mount --bind /dev/pts "$rn_root/dev/pts"
    mkdir -p "$rn_root/dev/shm"
    mount --bind /dev/shm "$rn_root/dev/shm"
    rn_dir=""
    while [ "$1" != -- ]; do
        mkdir -p "$rn_root$1"
        mount --bind "$1" "$rn_root$1"
        rn_dir=${rn_dir:-$1}
        shift
    done
    shift
    # The command in the root, with only the variables asked for; TERM is dumb unless kept.
    # shellcheck disable=SC2016 # expanded by the shell in the root
    set -- chroot "$rn_root" /bin/sh -c 'cd "$1" && shift && exec "$@"' sh "${rn_dir:-/}" "$@"
    if [ -n "${root_keep:-}" ]; then
        for rn_name in $(env | cut -d= -f1 | grep -Ex "$root_keep" || true); do
            set -- "$rn_name=$(printenv "$rn_name")" "$@"
        done
    fi
    env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
        LANG=C.UTF-8 TERM=dumb DEBIAN_FRONTEND=noninteractive "$@" &
    rn_pid=$!
    # An interrupt reaches the command; everything else goes when this process ends.
    trap 'kill -INT "$rn_pid" 2> /dev/null || true' INT
    trap 'kill -TERM "$rn_pid" 2> /dev/null || true' TERM HUP
    wait_on "$rn_pid"
}

# ---- The Windows build ----

# The Qt release that the Windows build is made with (named here and nowhere else), and where
# that Qt for Windows lives.
windows_qt_version=6.8.2
windows_qt="${PORTEVAL_WINDOWS_QT:-$porteval_cache/windows/qt-$windows_qt_version-mingw-w64}"

# windows_names: the release's version, as the top-level CMakeLists.txt sets it, and the names of
# its files in build-windows/, so that files of another version left there are never taken for
# this one's.
windows_names() {
    windows_version=$(sed -n 's/^project(porteval VERSION \([0-9.]*\).*/\1/p' \
        "$checkout/CMakeLists.txt")
    windows_release="porteval-$windows_version-windows-x64"
    windows_zip="$windows_release.zip"
    windows_setup="$windows_release-setup.exe"
}

# run_on_debian13 SCRIPT [ARGUMENT ...]: the Windows build needs Debian 13's mingw-w64, Qt host
# tools and Wine 10; on any other system the script runs again inside the Debian 13 root. An
# archive given with --serialport-source may lie where the root cannot see it: it goes in
# through the cache folder, which the root shares.
run_on_debian13() {
    grep -qsx 'VERSION_ID="13"' /etc/os-release && return 0
    od_script="$1"
    shift
    od_left=$#
    while [ "$od_left" -gt 0 ]; do
        od_argument="$1"
        shift
        od_left=$((od_left - 1))
        if [ "$od_argument" = --serialport-source ] && [ "$od_left" -gt 0 ]; then
            od_shared="$porteval_cache/windows/sources/$(basename "$1")"
            mkdir -p "$porteval_cache/windows/sources"
            [ "$(readlink -f "$1")" = "$(readlink -f "$od_shared")" ] || cp "$1" "$od_shared" ||
                exit 1
            shift
            od_left=$((od_left - 1))
            set -- "$@" "$od_argument" "$od_shared"
        else
            set -- "$@" "$od_argument"
        fi
    done
    exec "$checkout/scripts/debian13-root.sh" "$od_script" "$@"
}

# ---- The Windows tests under Wine (scripts/test-windows.sh and its phases) ----

# wine_phase: a phase of the Windows tests starts; what scripts/test-windows.sh prepared is in
# its environment (work, app, sim, linux_cli_program, preload). What it starts in the background
# and hands to keep_pid ends with it.
wine_phase() {
    : "${work:?a phase of scripts/test-windows.sh, run by it}" "${app:?}" "${sim:?}"
    : "${linux_cli_program:?}" "${preload:?}"
    failures=0
    trap stop_background EXIT
    windows_names
    cd "$checkout" || exit 1
}
# keep_pid PID: the process ends with the phase (recorded in a file: a command substitution's
# subshell can add to it too).
keep_pid() {
    echo "$1" >> "$work/pids.$$"
}
stop_background() {
    [ -f "$work/pids.$$" ] || return 0
    while read -r sb_pid; do
        kill "$sb_pid" 2> /dev/null || true
    done < "$work/pids.$$"
    rm -f "$work/pids.$$"
}

# check DESCRIPTION COMMAND...: one line a check, and on after a failure.
check() {
    ck_description="$1"
    shift
    if "$@"; then
        echo "  ok    $ck_description"
    else
        echo "  FAIL  $ck_description"
        failures=$((failures + 1))
    fi
}

# use_prefix DIR: Wine's prefix from here on, made when missing. No Mono or Gecko in a new
# prefix: nothing here needs them, and their installer would ask.
use_prefix() {
    export WINEPREFIX="$1"
    [ -d "$1" ] && return 0
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i > /dev/null 2>&1
    wineserver -w
}

# start_sim LOG [ARGUMENT...]: a Linux simulator in the background; prints what to open.
start_sim() {
    ss_log="$1"
    shift
    "$sim" --log "$ss_log" "$@" > "$ss_log.out" 2>&1 &
    keep_pid $!
    wait_for -s "$ss_log.out" 50 0.1
    head -n1 "$ss_log.out"
}

# wait_for TEST FILE TIMES SECONDS: until test TEST FILE holds, at most TIMES times SECONDS.
wait_for() {
    for _ in $(seq "$3"); do
        if test "$1" "$2"; then return 0; fi
        sleep "$4"
    done
}

cli() { wine "$app/porteval-cli.exe" "$@"; }
# The Linux command line keeps its history in the scratch folder, not in the user's.
linux_cli() { PORTEVAL_HISTORY="$work/linux-history.jsonl" "$linux_cli_program" "$@"; }
logged_hex() { sed -n 's/.*"hex":"\([^"]*\)".*/\1/p' "$1"; }
json_keys() { grep -o '"[0-9A-F]\{12\}"' | tr -d '"'; }
millis() { echo $(($(date +%s%N) / 1000000)); }
