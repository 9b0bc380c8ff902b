#!/usr/bin/env bash
# Fails when a C++ source differs from the repository's .clang-format style, and names the file.
# Fix with: clang-format -i FILE
set -euo pipefail
cd "$(dirname "$0")/.."
find core gui cli tests fuzz bench tools \( -name '*.cpp' -o -name '*.h' \) -print0 |
    xargs -0 clang-format --dry-run -Werror
