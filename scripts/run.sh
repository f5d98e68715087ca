#!/usr/bin/env bash
# Installs what is missing, builds a release build and starts the program. Without a display (a server,
# a container, CI) it runs the demonstration of scripts/demo.sh in a virtual display instead.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
# The tests' folder holds the sample viewer window that the demonstration records; only the targets
# named below are built.
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DSKORVA_BUILD_TESTS=ON >/dev/null

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    cmake --build build/release --target skorva
    exec build/release/app/skorva "$@"
fi

echo "No X display here (DISPLAY is unset or unreachable): running the demonstration in a virtual display instead."
cmake --build build/release --target skorva skorva_viewer_fixture
exec bash scripts/demo.sh build/release build/demo
