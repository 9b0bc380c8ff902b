#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer and AddressSanitizer in build-fuzz/ and runs each
# for a fixed time over its seed corpus. A crash fails the run; its input is left in
# build-fuzz/crashes/ and belongs, once fixed, in fuzz/regressions/<reader>/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${TWINSEEK_FUZZ_SECONDS:-30}

CC=clang CXX=clang++ scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTWINSEEK_FUZZ=ON -DTWINSEEK_SANITIZE=address -DTWINSEEK_BUILD_BENCH=OFF \
    -DBUILD_TESTING=ON -DTWINSEEK_BUILD_GUI=OFF
mkdir -p build-fuzz/crashes

status=0
for reader in list-text:FuzzListText ini-file:FuzzIniFile result-list:FuzzResultList \
    result-list-round-trip:FuzzResultListRoundTrip; do
    corpus=${reader%%:*}
    target=${reader##*:}
    work=$(mktemp -d)
    echo "== $target: ${seconds} s over fuzz/corpus/$corpus"
    # New inputs go to a scratch folder; the checked-in corpus is only read.
    if ! build-fuzz/fuzz/"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -malloc_limit_mb=1024 -print_final_stats=1 -artifact_prefix=build-fuzz/crashes/"$corpus"- \
        "$work" "fuzz/corpus/$corpus" 2>build-fuzz/"$target".log; then
        tail -60 build-fuzz/"$target".log
        status=1
    else
        grep -E "stat::number_of_executed_units|stat::peak_rss_mb" build-fuzz/"$target".log || true
    fi
    rm -rf "$work"
done
exit $status
