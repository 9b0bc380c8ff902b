#!/usr/bin/env bash
# Installs what is missing, builds Twinseek and runs every test, headless: the plain build, a
# build with AddressSanitizer and UndefinedBehaviorSanitizer, the scan-thread tests again with
# ThreadSanitizer, and a short fuzzing run of the file readers. A source that differs from the
# project's formatting style fails it first.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
scripts/format-check.sh
# No display: widget tests draw offscreen.
export QT_QPA_PLATFORM=offscreen

jobs=$(nproc)
scripts/build.sh build
ctest --test-dir build --output-on-failure -j "$jobs"

scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DTWINSEEK_SANITIZE="address;undefined"
ctest --test-dir build-asan --output-on-failure -j "$jobs"

scripts/build.sh build-tsan -DCMAKE_BUILD_TYPE=Debug -DTWINSEEK_SANITIZE=thread \
    -DTWINSEEK_BUILD_GUI=OFF
# ThreadSanitizer's shadow memory needs the address layout without high-entropy randomisation.
setarch "$(uname -m)" -R ctest --test-dir build-tsan --output-on-failure -j "$jobs" -L thread

scripts/fuzz.sh
