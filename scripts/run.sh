#!/bin/sh
# Builds porteval and starts it. With no arguments it starts in demo mode, the built-in
# simulated terminal behind every port number; "--real" starts it on the system's serial ports.
# Any other arguments go to the program.
set -eu
cd "$(dirname "$0")/.."
build="${PORTEVAL_BUILD_DIR:-build-run}"
scripts/deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
cmake --build "$build" --parallel "$(nproc)" --target porteval porteval-terminal-sim
if [ $# -eq 0 ]; then
    set -- --demo
elif [ "$1" = "--real" ]; then
    shift
fi
exec "$build/src/porteval" "$@"
