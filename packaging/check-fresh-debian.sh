#!/bin/bash
# Follows the README on fresh Debian 12 or 13 systems made with debootstrap, as root and without
# sudo, the way a new user would, and starts what it installed:
#   machine "source":  "Get the source", then "From source"
#   machine "package": "Get the source", then "As a Debian package"
#   machine "user":    nothing but the .deb that "package" made, installed with apt-get
# The README's command blocks run as written, with "sudo " dropped (we are root) and apt-get's
# question answered yes. README and source are this checkout's committed HEAD, to which the
# README's clone address is pointed.
# On "source" and "user": porteval --version and --help and porteval itself without a display,
# porteval-terminal-sim --help, porteval-cli --help and a demo key card query on three ports,
# and porteval --demo under xvfb-run (still running after a few seconds: it started). With
# --all, "source" also runs the two commands, scripts/test.sh and scripts/run.sh.
# Needs root, debootstrap and a Debian mirror (the argument, else PORTEVAL_DEBIAN_MIRROR, else
# the one this machine's apt sources name); about 4 minutes on 2 cores (--all: 9). Each command
# runs in namespaces of its own (root_exec in scripts/lib.sh), which end with it. Logs go to
# build-fresh-debian/ (build-fresh-debian13/ for Debian 13).
# Usage: packaging/check-fresh-debian.sh [--all] [--release 12|13] [mirror]
set -euo pipefail
# shellcheck source=../scripts/lib.sh
. "$(dirname "$0")/../scripts/lib.sh"
fail_prefix=FAILED

all=false
release=12
while [ $# -gt 0 ]; do
    case "$1" in
    --all) all=true ;;
    --release)
        release=${2:-}
        shift
        ;;
    *) break ;;
    esac
    shift
done
suite=$(debian_suite "$release") ||
    { echo "packaging/check-fresh-debian.sh: --release takes 12 or 13" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "packaging/check-fresh-debian.sh: run it as root" >&2; exit 1; }
mirror=${1:-$(debian_mirror)}
readme=$(git -C "$checkout" show HEAD:README.md)
logs="$checkout/build-fresh-debian$([ "$release" = 12 ] || echo "$release")"
mkdir -p "$logs"
rm -f "$logs"/*.log
# The machines live in memory: dpkg's syncs to disk would cost minutes, and nothing is kept.
work=$(mktemp -d "${TMPDIR:-/var/tmp}/porteval-fresh.XXXXXX")
cleanup() {
    umount -R -l "$work" 2>/dev/null || true
    rmdir "$work" 2>/dev/null || true
}
trap cleanup EXIT
mount -t tmpfs -o size=8g,mode=755 tmpfs "$work"

# The shell commands of the first ```sh block under the README heading $1, as root runs them.
readme_block() {
    awk -v heading="$1" '
        taking && /^```$/ { exit }
        taking { print; next }
        /^#/ { inside = ($0 == heading); next }
        inside && /^```sh$/ { taking = 1 }' <<< "$readme" | sed 's/^sudo //'
}

# Runs shell commands on a machine as root, in the environment of a fresh login: no display,
# no sudo, nothing of this shell's environment. With "isolated" first, in a network namespace
# of its own, so that its X server cannot meet another on this host.
on() {
    local root=$1 net=()
    shift
    if [ "$1" = isolated ]; then
        net=(--net)
        shift
    fi
    root_exec "${net[@]}" "$root" -- /bin/sh -ec "$1"
}

# step MACHINE TITLE [isolated] COMMANDS: runs them, logs their output, and stops at the first
# failure.
step() {
    local machine=$1 title=$2 start=$SECONDS
    shift 2
    echo "== $machine: $title" >> "$logs/$machine.log"
    if ! on "$work/$machine" "$@" >> "$logs/$machine.log" 2>&1; then
        tail -n 30 "$logs/$machine.log" >&2
        fail "$machine: $title (log: $logs/$machine.log)"
    fi
    printf '  ok  %-8s %-50s %4d s\n' "$machine" "$title" $(( SECONDS - start ))
}

# A copy of the fresh system.
new_machine() {
    cp -a "$work/base" "$work/$1"
}
drop_machine() {
    rm -rf --one-file-system "${work:?}/$1"
}

# The README's clone address, pointed at a copy of this checkout's committed HEAD.
give_source() {
    git init -q --bare "$work/$1/srv/porteval.git"
    git -C "$checkout" push -q "$work/$1/srv/porteval.git" HEAD:refs/heads/main
    git -C "$work/$1/srv/porteval.git" symbolic-ref HEAD refs/heads/main
    printf '[url "/srv/porteval.git"]\n\tinsteadOf = %s\n' "$clone_url" > "$work/$1/root/.gitconfig"
}

# expect MACHINE TITLE STATUS PATTERN [isolated] COMMANDS: they end with STATUS, and their whole
# output (stdout and stderr) matches the extended regular expression PATTERN.
expect() {
    local machine=$1 title=$2 want=$3 pattern=$4 output status=0
    shift 4
    output=$(on "$work/$machine" "$@" 2>&1) || status=$?
    printf '== %s: %s\n%s\n' "$machine" "$title" "$output" >> "$logs/$machine.log"
    [ "$status" -eq "$want" ] || fail "$machine: $title: exit $status, not $want: $output"
    [[ $output =~ $pattern ]] || fail "$machine: $title: not /$pattern/: $output"
    printf '  ok  %-8s %-50s\n' "$machine" "$title"
}

# What a user starts first, on a machine where porteval is installed in $2.
check_programs() {
    local machine=$1 bin=$2 line='[^'$'\n'']*'
    expect "$machine" "porteval on the PATH in $bin" 0 "^$bin/porteval\$" 'command -v porteval'
    expect "$machine" "porteval-terminal-sim on the PATH" 0 "^$bin/porteval-terminal-sim\$" \
        'command -v porteval-terminal-sim'
    expect "$machine" "porteval --version without a display" 0 \
        '^porteval [0-9]+\.[0-9]+\.[0-9]+$' 'porteval --version'
    expect "$machine" "porteval --help without a display" 0 '^Usage: porteval \[options\]' \
        'porteval --help'
    # One line that names the ways out; no core dump, no advice to reinstall.
    expect "$machine" "porteval without a display: one line, exit 1" 1 \
        "^porteval: ${line}graphical session${line}porteval-cli${line}xvfb-run porteval --demo\$" \
        'porteval'
    expect "$machine" "porteval-terminal-sim --help" 0 '^Usage: porteval-terminal-sim' \
        'porteval-terminal-sim --help'
    # The command line needs no display: a key card query on three simulated terminals at once,
    # in the texts of the language files installed beside it.
    expect "$machine" "porteval-cli on the PATH" 0 "^$bin/porteval-cli\$" 'command -v porteval-cli'
    expect "$machine" "porteval-cli --help without a display" 0 '^Usage: porteval-cli \[options\]' \
        'porteval-cli --help'
    expect "$machine" "porteval-cli read-keys --demo on three ports" 0 '^3$' \
        'porteval-cli read-keys --demo --port 1,2,3 | grep -c "GetInfoKeyCard\[16\]: OK"'
    step "$machine" "install xvfb and xauth (for the demo's check), man-db, bash-completion" \
        'apt-get install -y -qq --no-install-recommends xvfb xauth man-db bash-completion'
    expect "$machine" "xvfb-run porteval --demo still runs after 5 s" 124 '' \
        isolated 'xvfb-run -a timeout 5 porteval --demo'
    # The manual pages where man finds them, each rendered without a warning.
    local program
    for program in porteval porteval-cli porteval-terminal-sim; do
        expect "$machine" "man $program, without a warning" 0 "^/${line}/man1/$program\\.1\\.gz\$" \
            "MANWIDTH=80 man --warnings $program > /dev/null && man -w $program"
    done
    # shellcheck disable=SC2016 # expanded by the shell inside the machine
    expect "$machine" "Tab completes porteval-cli's commands and a command's options" 0 \
        '^write-master write-messages / --keys --old-key --set-only$' \
        'bash -c ". /usr/share/bash-completion/bash_completion
            _comp_load porteval-cli 2> /dev/null || _completion_loader porteval-cli
            ask() { COMP_WORDS=(porteval-cli \$@); COMP_CWORD=\$#; _porteval_cli; }
            ask write-m; echo -n \"\${COMPREPLY[*]} / \"
            ask write-master --k; echo -n \"\${COMPREPLY[*]} \"
            ask write-master --old; echo -n \"\${COMPREPLY[*]} \"
            ask write-master --s; echo \"\${COMPREPLY[*]}\""'
}

clone_url=$(sed -n 's|^git clone \([^ ]*\)$|\1|p' <<< "$readme" | head -n 1)
[ -n "$clone_url" ] || fail "no \"git clone\" line in the README"
source_block=$(readme_block "## Get the source")
from_source=$(readme_block "### From source")
as_package=$(readme_block "### As a Debian package")
for block in source_block from_source as_package; do
    [ -n "${!block}" ] || fail "README: no command block for $block"
done

start=$SECONDS
echo "== a fresh Debian $release (debootstrap, minbase) from $mirror"
make_debian_root "$work/base" "$suite" "$mirror" "$logs/debootstrap.log"
# What a technician at the keyboard would answer to apt-get's "Do you want to continue?".
echo 'APT::Get::Assume-Yes "true";' > "$work/base/etc/apt/apt.conf.d/90porteval-check"
echo "  ok  $(( SECONDS - start )) s"

new_machine source
give_source source
step source "README: Get the source" "cd /root; set -x; $source_block"
step source "README: Install from source" "cd /root/porteval; set -x; $from_source"
check_programs source /usr/local/bin
if $all; then
    step source "README: scripts/test.sh" 'cd /root/porteval; set -x; scripts/test.sh'
    expect source "README: scripts/run.sh builds and starts" 0 'Usage: porteval' \
        'cd /root/porteval; scripts/run.sh --help'
    expect source "README: scripts/run.sh, the demo under xvfb-run" 124 '' \
        isolated 'cd /root/porteval; xvfb-run -a timeout 10 scripts/run.sh'
fi
drop_machine source

new_machine package
give_source package
step package "README: Get the source" "cd /root; set -x; $source_block"
step package "README: As a Debian package" "cd /root/porteval; set -x; $as_package"
step package "lintian from this release: no error, no warning in the package" \
    'apt-get install -y -qq --no-install-recommends lintian
     lintian --fail-on error,warning /root/porteval/build/porteval_*.deb'
deb=$(ls "$work"/package/root/porteval/build/porteval_*.deb)
new_machine user
cp "$deb" "$work/user/root/"
drop_machine package
step user "apt-get install ./$(basename "$deb")" \
    "cd /root; apt-get install -qq ./$(basename "$deb")"
check_programs user /usr/bin

echo "== all README steps passed on fresh Debian $release systems in $(( SECONDS - start )) s"
