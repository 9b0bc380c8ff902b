#!/usr/bin/env bash
# Times twinseek-cli against limit_walk (a bare walk that stats every entry, on
# one thread and on two) and find on synthetic trees, and prints a table per
# tree: hot cache, and with TWINSEEK_BENCH_COLD=1 cold (the page cache is
# dropped before every run; that needs root, and is skipped with a note
# otherwise).
#
# usage: bench/run.sh [BUILD_DIR] [SIZES or DIRECTORIES...]
#   BUILD_DIR  CMake build folder holding twinseek-cli and bench/limit_walk
#              (default: build)
#   SIZES      number of files per tree (default: 100000 1000000 /usr); an
#              argument that starts with "/" is an existing directory instead
#
# Trees are kept in ${TWINSEEK_BENCH_DIR:-/tmp/twinseek-bench}/tree-N and
# reused by later runs.  This is a benchmark, not a test: it exits 0 whether
# or not the targets are met.

set -euo pipefail
export LC_ALL=C

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build_dir=${1:-build}
[[ $# -gt 0 ]] && shift
if [[ $# -gt 0 ]]; then
    sizes=("$@")
else
    sizes=(100000 1000000 /usr)
fi
cold=${TWINSEEK_BENCH_COLD:-0}
bench_dir=${TWINSEEK_BENCH_DIR:-/tmp/twinseek-bench}
seed=42
runs=5
timer=/usr/bin/time

# Targets for twinseek-cli relative to the one-thread limit_walk: time on the
# 1,000,000-file tree and elsewhere, memory on that tree; cold, time relative
# to the two-thread limit_walk.
target_size=1000000
target_time=0.7
target_time_other=0.8
target_mem=1.5
target_cold=1.0

die() {
    echo "run.sh: $*" >&2
    exit 1
}

for n in "${sizes[@]}"; do
    [[ $n =~ ^[1-9][0-9]*$ || -d $n ]] || die "'$n' is neither a tree size nor a directory"
done
if [[ $cold == 1 ]] && ! { sync && echo 3 >/proc/sys/vm/drop_caches; } 2>/dev/null; then
    echo "run.sh: the page cache cannot be dropped here (not root?); cold runs are skipped" >&2
    exit 0
fi
[[ -d $build_dir ]] || die "no build folder '$build_dir'"
if [[ ! -x $timer ]]; then
    die "$timer is missing; it measures time and peak memory. Install it with: apt-get install time"
fi
limit=$build_dir/bench/limit_walk
[[ -x $limit ]] || die "$limit is missing; build it with: cmake -S . -B $build_dir -DTWINSEEK_BUILD_BENCH=ON && cmake --build $build_dir"
cli=$build_dir/twinseek-cli
if [[ ! -x $cli ]]; then
    echo "run.sh: $cli is missing; twinseek-cli will be left out (build it with: cmake --build $build_dir --target twinseek-cli)" >&2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# timed NAME CMD...: runs CMD once under $timer with output thrown away and
# appends "seconds max-rss-KiB" to $work/NAME.samples; cold, after dropping
# the page cache.
timed() {
    local name=$1
    shift
    if [[ $cold == 1 ]]; then
        sync
        echo 3 >/proc/sys/vm/drop_caches
    fi
    "$timer" -f '%e %M' -o "$work/$name.time" "$@" >/dev/null 2>"$work/$name.err" || return
    # $timer writes a "Command exited ..." line first when CMD fails.
    tail -n 1 "$work/$name.time" >>"$work/$name.samples"
}

median_seconds() {
    cut -d' ' -f1 "$1" | sort -g | awk '{ v[NR] = $1 }
        END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

peak_mib() {
    cut -d' ' -f2 "$1" | sort -n | tail -n 1 | awk '{ printf "%.1f", $1 / 1024 }'
}

ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'
}

verdict() {
    awk -v r="$1" -v t="$2" 'BEGIN { print (r != "n/a" && r <= t) ? "PASS" : "MISS" }'
}

build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build_dir/CMakeCache.txt" 2>/dev/null || true)
echo "twinseek bench: $(date '+%Y-%m-%d %H:%M'), $(uname -sr), $(nproc) cores"
echo "build: $build_dir (${build_type:-unknown build type}), trees: $bench_dir, seed $seed," \
    "$([[ $cold == 1 ]] && echo "cold cache" || echo "hot cache")"

for n in "${sizes[@]}"; do
    echo
    if [[ -d $n ]]; then
        root=$n
    else
        root=$bench_dir/tree-$n
        mkdir -p "$bench_dir"
        python3 "$here/make_tree.py" "$root" "$n" "$seed"
    fi

    rm -f "$work"/*
    find_cmd=(find "$root" -type f -printf '%f\t%s\t%T@\t%h\n')
    cli_cmd=("$cli" --scan "$root" --report /dev/null)

    # Warm-up: fills the cache and checks that the walkers agree on the count.
    # A tree that the program cannot wholly read (/usr as a user) still gives figures.
    limit_files=$("$limit" "$root" 2>/dev/null) || echo "warning: limit_walk could not read all of $root" >&2
    find_files=$("${find_cmd[@]}" | wc -l) || die "find failed on $root"
    if [[ $limit_files != "$find_files" ]]; then
        echo "warning: limit_walk counted $limit_files files, find $find_files" >&2
    fi
    cli_state=ok
    if [[ ! -x $cli ]]; then
        cli_state=missing
    elif ! "${cli_cmd[@]}" >/dev/null 2>"$work/cli.err"; then
        cli_state=failed
    fi

    # Rounds interleave the programs so that drift hits all of them alike.
    for ((i = 0; i < runs; i++)); do
        timed limit "$limit" "$root" || true
        timed limit2 "$limit" --threads 2 "$root" || true
        if [[ $cli_state == ok ]]; then
            timed cli "${cli_cmd[@]}" || cli_state=failed
        fi
        timed find "${find_cmd[@]}" || true
    done

    limit_s=$(median_seconds "$work/limit.samples")
    limit_m=$(peak_mib "$work/limit.samples")
    limit2_s=$(median_seconds "$work/limit2.samples")
    limit2_m=$(peak_mib "$work/limit2.samples")
    find_s=$(median_seconds "$work/find.samples")
    find_m=$(peak_mib "$work/find.samples")

    echo "$root: $limit_files files; median of $runs runs after one warm-up, peak = largest max RSS"
    printf '%-14s %10s %10s %11s %10s\n' program "median s" "peak MiB" "time ratio" "mem ratio"
    printf '%-14s %10s %10s %11s %10s\n' limit_walk "$limit_s" "$limit_m" 1.00 1.00
    printf '%-14s %10s %10s %11s %10s\n' "limit_walk x2" "$limit2_s" "$limit2_m" \
        "$(ratio "$limit2_s" "$limit_s")" "$(ratio "$limit2_m" "$limit_m")"
    case $cli_state in
    ok)
        cli_s=$(median_seconds "$work/cli.samples")
        cli_m=$(peak_mib "$work/cli.samples")
        time_r=$(ratio "$cli_s" "$limit_s")
        mem_r=$(ratio "$cli_m" "$limit_m")
        if [[ $cold == 1 ]]; then
            cold_r=$(ratio "$cli_s" "$limit2_s")
            targets="   $cold_r x the two-thread walk: $(verdict "$cold_r" "$target_cold") (<= $target_cold)"
        elif [[ $n == "$target_size" ]]; then
            targets="   time $(verdict "$time_r" "$target_time") (<= $target_time)"
            targets+=", memory $(verdict "$mem_r" "$target_mem") (<= $target_mem)"
        else
            targets="   time $(verdict "$time_r" "$target_time_other") (<= $target_time_other)"
        fi
        printf '%-14s %10s %10s %11s %10s%s\n' twinseek-cli "$cli_s" "$cli_m" "$time_r" "$mem_r" \
            "$targets"
        ;;
    missing)
        printf '%-14s %s\n' twinseek-cli "not built ($cli is missing)"
        ;;
    failed)
        printf '%-14s %s\n' twinseek-cli "failed; its last messages:"
        tail -n 5 "$work/cli.err" | sed 's/^/    /'
        ;;
    esac
    printf '%-14s %10s %10s %11s %10s\n' find "$find_s" "$find_m" \
        "$(ratio "$find_s" "$limit_s")" "$(ratio "$find_m" "$limit_m")"
done
exit 0
