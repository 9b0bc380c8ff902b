#!/usr/bin/env bash
# Installs what is missing, builds Twinseek in build/ and starts its window. Arguments are
# handed to the window program.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
scripts/build.sh build
exec build/twinseek "$@"
