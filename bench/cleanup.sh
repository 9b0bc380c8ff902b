#!/usr/bin/env bash
# Times a clean-up with the content check against reading every file once and moving the
# removed ones into one folder: 100,000 names with two equal 4 KiB copies each, from a saved
# result (the scan is not timed), hot cache, one run each in the same session.
#
# usage: bench/cleanup.sh [BUILD_DIR] [NAMES]   (default: build, 100000)
# The tree is kept in ${TWINSEEK_BENCH_DIR:-/tmp/twinseek-bench}/cleanup-NAMES and reused; it
# is put back as it was after each run. This is a benchmark: it exits 0 whether or not the
# target (at most 2x) is met.
set -euo pipefail
export LC_ALL=C
build_dir=$(cd "${1:-build}" && pwd)
names=${2:-100000}
cli=$build_dir/twinseek-cli
[[ -x $cli ]] || { echo "cleanup.sh: build $cli first" >&2; exit 1; }
root=${TWINSEEK_BENCH_DIR:-/tmp/twinseek-bench}/cleanup-$names
mkdir -p "$root"

if [[ ! -f $root/done ]]; then
    echo "making $names names with two equal 4 KiB copies in $root ..."
    rm -rf "${root:?}"/*
    python3 - "$root" "$names" <<'PY'
import os, sys
root, names = sys.argv[1], int(sys.argv[2])
for side in ("a", "b"):
    os.makedirs(os.path.join(root, "tree", side), exist_ok=True)
for i in range(names):
    data = (b"%08d" % i) * 512  # 4 KiB, different for every name
    for side in ("a", "b"):
        with open(os.path.join(root, "tree", side, "file-%06d.bin" % i), "wb") as f:
            f.write(data)
PY
    touch -d "2025-01-01 12:00:00" "$root"/tree/a/* "$root"/tree/b/* 2>/dev/null ||
        find "$root/tree" -type f -exec touch -d "2025-01-01 12:00:00" {} +
    "$cli" --scan "$root/tree" --save-list "$root/list.twl" --report /dev/null
    touch "$root/done"
fi

export XDG_DATA_HOME=$root/data XDG_STATE_HOME=$root/state
moved=$root/moved
# Puts every copy that left back into the folder it came from.
restore() {
    local from=$1
    [[ -d $from ]] || return 0
    for side in a b; do
        if (($(find "$root/tree/$side" -type f | wc -l) < names)); then
            find "$from" -maxdepth 1 -type f -print0 | xargs -0 -r mv -t "$root/tree/$side"
        fi
    done
}
restore "$moved"
restore "$XDG_DATA_HOME/Trash/files"
rm -rf "$moved" "$XDG_DATA_HOME" "$XDG_STATE_HOME"

seconds() { date +%s.%N; }
# Warm the cache.
find "$root/tree" -type f -print0 | xargs -0 cat >/dev/null

# The limit: read every file once, then move one copy of each name into one folder.
mkdir -p "$moved"
start=$(seconds)
find "$root/tree" -type f -print0 | xargs -0 cat >/dev/null
find "$root/tree/b" -type f -print0 | xargs -0 mv -t "$moved"
limit=$(awk -v a="$(seconds)" -v b="$start" 'BEGIN { print a - b }')
restore "$moved"
rm -rf "$moved"

start=$(seconds)
"$cli" --load-list "$root/list.twl" --keep first --trash --report /dev/null
clean=$(awk -v a="$(seconds)" -v b="$start" 'BEGIN { print a - b }')
removed=$(wc -l <"$XDG_STATE_HOME/twinseek/actions.log")
restore "$XDG_DATA_HOME/Trash/files"
rm -rf "$XDG_DATA_HOME" "$XDG_STATE_HOME"

printf 'names %d, copies removed %d\n' "$names" "$removed"
printf 'cat + mv (limit)             %6.2f s\n' "$limit"
printf 'twinseek-cli --keep --trash  %6.2f s\n' "$clean"
awk -v c="$clean" -v l="$limit" \
    'BEGIN { r = c / l; printf "ratio %.2f (target <= 2.0): %s\n", r, r <= 2.0 ? "PASS" : "FAIL" }'
