#!/usr/bin/env bash
# Installs what is missing, builds Twinseek in build/ and starts it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
scripts/build.sh build
exec build/twinseek-cli "$@"
