#!/usr/bin/env bash
# Installs what is missing, builds the installer and opens its window.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-dependencies.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
cmake --build build-release --parallel --target ZEPHInstaller_macOS

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found. On a machine without one, run the window under a virtual display:" >&2
    echo "    xvfb-run -a scripts/run.sh" >&2
    exit 1
fi
exec build-release/app/ZEPHInstaller_macOS "$@"
