#!/usr/bin/env bash
# Times the window against the command line on the same scans, in one run: from Start to the
# rows shown (window_bench) and the whole twinseek-cli run, median of 5 rounds that run the two
# in turn after a warm-up each; then the sorting of 100,000 rows by every column.
#
# usage: bench/window.sh [BUILD_DIR] [ROOTS...]   (default: build, the 1,000,000-file tree, /usr)
set -euo pipefail
build_dir=$(cd "${1:-build}" && pwd)
[[ $# -gt 0 ]] && shift
roots=("$@")
if [[ ${#roots[@]} -eq 0 ]]; then
    roots=("${TWINSEEK_BENCH_DIR:-/tmp/twinseek-bench}/tree-1000000" /usr)
fi
cli=$build_dir/twinseek-cli
window=$build_dir/bench/window_bench
[[ -x $cli && -x $window ]] || { echo "window.sh: build $cli and $window first (cmake -DTWINSEEK_BUILD_BENCH=ON)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" # the window reads and writes its settings file in the working directory
export XDG_CONFIG_HOME=$work # and its size and columns in the user's settings

median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

printf '%-45s %10s %10s %7s\n' root "cli s" "window s" ratio
for root in "${roots[@]}"; do
    [[ -d $root ]] || { echo "window.sh: no directory $root" >&2; continue; }
    # One warm-up each, then rounds that take the two in turn, so that both see the same load.
    "$cli" --scan "$root" --report /dev/null
    "$window" "$root" >/dev/null 2>&1
    : >"$work/times.cli" && : >"$work/times.window"
    time_cli() { /usr/bin/time -f '%e' "$cli" --scan "$root" --report /dev/null 2>&1 >/dev/null | tail -1 >>"$work/times.cli"; }
    time_window() { "$window" "$root" 2>/dev/null | awk '/^window-scan/ {print $3}' >>"$work/times.window"; }
    for round in 1 2 3 4 5; do
        if ((round % 2)); then time_cli; time_window; else time_window; time_cli; fi
    done
    cli_times=$(median <"$work/times.cli")
    window_times=$(median <"$work/times.window")
    printf '%-45s %10s %10s %7.2f\n' "$root" "$cli_times" "$window_times" \
        "$(echo "$window_times / $cli_times" | bc -l)"
done
echo "target: window <= 1.3 x cli"
"$window" 2>/dev/null | grep '^sort'
echo "target: every sort < 0.2 s"
