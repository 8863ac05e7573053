#!/bin/sh
# Starts porteval.exe under Wine in an X server of its own (Xvfb, no window manager), does what
# it is told as a user would with the mouse and the keyboard, takes a picture of the screen and
# ends the program. For scripts/test-windows.sh.
#
#   scripts/wine-window.sh APP PICTURE [-- [--demo] [ACTION ...]]
#
# APP is the folder of porteval.exe; WINEPREFIX (and LD_PRELOAD, PORTEVAL_HISTORY) as set by the
# caller. Actions, in order:
#   --port-box TEXT   types TEXT into the port box, in place of what it holds
#   --click NAME      clicks a control: OpenCOM, CloseCOM, GetInfoKeyCard, English (the language)
#   --menu NAME       right-clicks a control for its context menu: port-box
#   --key KEY         presses a key (an xdotool key name, e.g. Escape)
#   --wait SECONDS    lets the program work
# The picture is taken at the end. Wine's server, and the desktop it keeps, must start inside
# the X session, not before it: without a display from the start, Wine makes no window.
set -eu
if [ "${1:-}" != --in-x ]; then
    [ $# -ge 2 ] || { echo "usage: $0 APP PICTURE [-- [--demo] [ACTION ...]]" >&2; exit 2; }
    wineserver -k 2> /dev/null || true
    xvfb-run -a -s "-screen 0 900x650x24" "$0" --in-x "$@"
    status=$?
    wineserver -k 2> /dev/null || true
    exit "$status"
fi
shift
app="$1"
picture="$2"
shift 2
[ "${1:-}" != -- ] || shift
options=""
if [ "${1:-}" = --demo ]; then
    options=--demo
    shift
fi
title="Porteval - Programa demo"
# Where the controls are in the window, in pixels from its top left corner, as Wine draws it
# (Qt's FreeType engine with Wine's own fonts); the window keeps its size in every language.
point() {
    case "$1" in
    port-box) echo "177 43" ;;
    OpenCOM) echo "61 88" ;;
    CloseCOM) echo "163 88" ;;
    GetInfoKeyCard) echo "220 454" ;;
    key0) echo "162 181" ;;
    port-box-menu) echo "177 43" ;;
    English) echo "237 9" ;;
    *) echo "wine-window: no control called $1" >&2; exit 2 ;;
    esac
}

# shellcheck disable=SC2086 # no option, or one
wine "$app/porteval.exe" $options &
program=$!
window=""
for _ in $(seq 150); do
    window=$(xdotool search --name "$title" 2> /dev/null | head -n1) && [ -n "$window" ] && break
    sleep 0.2
done
[ -n "$window" ] || { echo "wine-window: no window appeared" >&2; kill "$program"; exit 1; }
sleep 1
click() { # click CONTROL [BUTTON]
    # shellcheck disable=SC2046 # x and y
    xdotool mousemove --window "$window" $(point "$1") click "${2:-1}"
    sleep 0.3
}
while [ $# -gt 0 ]; do
    case "$1" in
    --port-box)
        click port-box
        xdotool key --window "$window" ctrl+a
        xdotool type --window "$window" "$2"
        shift 2
        ;;
    --click)
        click "$2"
        shift 2
        ;;
    --menu)
        click "$2" 3
        shift 2
        ;;
    --key)
        xdotool key --window "$window" "$2"
        shift 2
        ;;
    --wait)
        sleep "$2"
        shift 2
        ;;
    *)
        echo "wine-window: unknown action $1" >&2
        kill "$program"
        exit 2
        ;;
    esac
done
import -window root "$picture"
kill "$program" 2> /dev/null || true
