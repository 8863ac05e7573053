#!/bin/sh
# Builds porteval and runs every test. Extra arguments go to CMake's configure step, e.g.
#   scripts/test.sh -DPORTEVAL_SANITIZE=ON        (build directory: build-test)
set -eu
cd "$(dirname "$0")/.."
build="${PORTEVAL_BUILD_DIR:-build-test}"
scripts/deps.sh --test
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build" --parallel "$(nproc)"
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)"
