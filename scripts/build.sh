#!/usr/bin/env bash
# Configures and builds Twinseek in build/ (or the folder given) with the given CMake options.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
cmake --build "$dir"
