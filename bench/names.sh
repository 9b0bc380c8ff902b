#!/usr/bin/env bash
# Times the name rules on a tree where about a fifth of the names are not ASCII: twinseek-cli
# with --unicode --ignore-copy-marks against the same scan without them, and, when a second
# build is given, that build's scan without them (an earlier version, to see that the rules cost
# nothing while they are off). Hot cache, median of 5 interleaved rounds after a warm-up.
#
# usage: bench/names.sh [BUILD_DIR] [BASE_BUILD_DIR] [FILES]
#   BUILD_DIR       build folder holding twinseek-cli (default: build)
#   BASE_BUILD_DIR  another build folder to compare with, or "" (default: none)
#   FILES           files in the tree (default: 1000000)
#
# The tree is ${TWINSEEK_BENCH_DIR:-/tmp/twinseek-bench}/tree-unicode-FILES, seed 42; it is
# kept for later runs. Targets: rules <= 1.20 x without; the two builds within 3 %. This is a
# benchmark, not a test: it exits 0 whether or not the targets are met.
set -euo pipefail
export LC_ALL=C.UTF-8

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build_dir=${1:-build}
base_dir=${2:-}
files=${3:-1000000}
runs=5
timer=/usr/bin/time
[[ -x $timer ]] || { echo "names.sh: $timer is missing (apt-get install time)" >&2; exit 1; }
cli=$build_dir/twinseek-cli
[[ -x $cli ]] || { echo "names.sh: build $cli first" >&2; exit 1; }
base_cli=""
if [[ -n $base_dir ]]; then
    base_cli=$base_dir/twinseek-cli
    [[ -x $base_cli ]] || { echo "names.sh: build $base_cli first" >&2; exit 1; }
fi

root=${TWINSEEK_BENCH_DIR:-/tmp/twinseek-bench}/tree-unicode-$files
mkdir -p "$(dirname "$root")"
# A share of 0.22 of the drawn words gives about 20 % of the names: the common names stay ASCII.
python3 "$here/make_tree.py" "$root" "$files" 42 0.22

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# run NAME CLI [FLAGS...]: one timed scan, "seconds max-rss-KiB" appended to NAME.samples.
run() {
    local name=$1 program=$2
    shift 2
    "$timer" -f '%e %M' -o "$work/$name.time" "$program" --scan "$root" --report /dev/null "$@" \
        >/dev/null
    tail -n 1 "$work/$name.time" >>"$work/$name.samples"
}
median() { cut -d' ' -f1 "$work/$1.samples" | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
peak() { cut -d' ' -f2 "$work/$1.samples" | sort -n | tail -n 1 | awk '{printf "%.1f", $1 / 1024}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

rules=(--unicode --ignore-copy-marks)
run warmup "$cli"
run warmup "$cli" "${rules[@]}"
[[ -n $base_cli ]] && run warmup "$base_cli"
rm -f "$work"/*.samples
for ((i = 0; i < runs; i++)); do
    run plain "$cli"
    run rules "$cli" "${rules[@]}"
    [[ -n $base_cli ]] && run base "$base_cli"
done

echo "names bench: $(date '+%Y-%m-%d %H:%M'), $(nproc) cores, $root"
printf '%-34s %9s %9s %7s\n' scan "median s" "peak MiB" ratio
printf '%-34s %9s %9s %7s\n' "$cli" "$(median plain)" "$(peak plain)" 1.000
rules_ratio=$(ratio "$(median rules)" "$(median plain)")
printf '%-34s %9s %9s %7s   target <= 1.20\n' "  ${rules[*]}" "$(median rules)" "$(peak rules)" \
    "$rules_ratio"
if [[ -n $base_cli ]]; then
    printf '%-34s %9s %9s %7s   target 0.97 .. 1.03\n' "$base_cli" "$(median base)" \
        "$(peak base)" "$(ratio "$(median base)" "$(median plain)")"
fi
exit 0
